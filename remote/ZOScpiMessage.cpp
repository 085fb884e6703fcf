#include "remote/ZOScpiMessage.h"

#include "remote/ZOFlowControl.h"
#include "remote/ZOScpiResponder.h"

#include <climits>
#include <cstring>
#include <new>

namespace zo4882 {

namespace {

// One block: the record, then the text and its NUL.
template <class Record> Record *allocate(const char *text, int length)
{
    if (length < 0 || (length > 0 && !text) || length > INT_MAX - int(sizeof(Record)) - 1)
        return nullptr;
    void *block = ::operator new(sizeof(Record) + size_t(length) + 1, std::nothrow);
    if (!block)
        return nullptr;
    Record *record = new (block) Record;
    record->length = length;
    if (length > 0)
        std::memcpy(record->text(), text, size_t(length));
    record->text()[length] = '\0';
    return record;
}

template <class Record> void release(Record *record)
{
    if (!record)
        return;
    record->~Record();
    ::operator delete(record);
}

} // namespace

SCPIMSG_T *createScpiMessage(const char *text,
    int length,
    unsigned tag,
    INTF_TYPE_ENUM intf,
    void *device,
    ZOScpiResponder *responder)
{
    SCPIMSG_T *message = allocate<SCPIMSG_T>(text, length);
    if (!message)
        return nullptr;
    message->intf = intf;
    message->tag = tag;
    message->device = device;
    if (responder)
        message->responder = responder->link();
    return message;
}

void freeScpiMessage(SCPIMSG_T *message)
{
    if (message && message->flow)
        message->flow->messageDone();
    release(message);
}

SCPIRESP_T *createScpiResponse(const char *text, int length, unsigned tag, void *device)
{
    SCPIRESP_T *response = allocate<SCPIRESP_T>(text, length);
    if (!response)
        return nullptr;
    response->tag = tag;
    response->device = device;
    return response;
}

void freeScpiResponse(SCPIRESP_T *response)
{
    release(response);
}

} // namespace zo4882
