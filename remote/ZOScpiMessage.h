#pragma once

#include "remote/INTF_TYPE_ENUM.h"

#include <QMetaType>

#include <cstdint>
#include <memory>

namespace zo4882 {

class ZOFlowControl;
class ZOScpiResponderLink;
class ZOScpiResponder;

// One program message on its way from a transport to the parser: a single heap block, the
// text (length bytes and a NUL) stored right after the header. Made by createScpiMessage in
// the transport's thread, freed by the parser (freeScpiMessage) once it ran or was discarded.
struct SCPIMSG_T
{
    INTF_TYPE_ENUM intf = INTF_PANEL;
    unsigned tag = 0; // the transport's own value, copied into every answer
    void *device = nullptr; // the transport's connection handle, copied into every answer
    // Where answers go; null for none. A shared handle, so the parser never touches a
    // responder that has been destroyed meanwhile.
    std::shared_ptr<ZOScpiResponderLink> responder;
    // The posting session's flow control, null for none: freeing the message counts it done,
    // and once the session has closed the parser drops the message unparsed.
    std::shared_ptr<ZOFlowControl> flow;
    std::uint64_t sequence = 0; // posting order, set by ZO4882Parser::post
    int length = 0;

    char *text() { return reinterpret_cast<char *>(this + 1); }
    const char *text() const { return reinterpret_cast<const char *>(this + 1); }
};

// One answer on its way from the parser to a responder, laid out like SCPIMSG_T. Made by the
// parser, freed by the responder's OnRespSend (or by the delivery when the responder is gone).
struct SCPIRESP_T
{
    unsigned tag = 0;
    void *device = nullptr;
    int length = 0;

    char *text() { return reinterpret_cast<char *>(this + 1); }
    const char *text() const { return reinterpret_cast<const char *>(this + 1); }
};

// A new message holding a copy of length bytes of text; null when length is negative or
// memory is exhausted. Call it in the responder's own thread (responder may be null).
SCPIMSG_T *createScpiMessage(const char *text,
    int length,
    unsigned tag,
    INTF_TYPE_ENUM intf,
    void *device,
    ZOScpiResponder *responder);
void freeScpiMessage(SCPIMSG_T *message);

// A new answer holding a copy of length bytes of text; null as createScpiMessage.
SCPIRESP_T *createScpiResponse(const char *text, int length, unsigned tag, void *device);
void freeScpiResponse(SCPIRESP_T *response);

struct ScpiMessageDeleter
{
    void operator()(SCPIMSG_T *message) const { freeScpiMessage(message); }
};
struct ScpiResponseDeleter
{
    void operator()(SCPIRESP_T *response) const { freeScpiResponse(response); }
};
using ScpiMessagePtr = std::unique_ptr<SCPIMSG_T, ScpiMessageDeleter>;
using ScpiResponsePtr = std::unique_ptr<SCPIRESP_T, ScpiResponseDeleter>;

} // namespace zo4882

Q_DECLARE_METATYPE(const zo4882::SCPIMSG_T *)
