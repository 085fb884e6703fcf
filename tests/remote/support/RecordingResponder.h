#pragma once

#include "remote/ZOScpiMessage.h"
#include "remote/ZOScpiResponder.h"

#include <QByteArrayList>

// Keeps every answer the parser sends it, in the thread it lives in.
class RecordingResponder : public zo4882::ZOScpiResponder
{
public:
    QByteArrayList answers;

protected:
    void OnRespSend(zo4882::SCPIRESP_T *response) override
    {
        answers << QByteArray(response->text(), response->length);
        zo4882::freeScpiResponse(response);
    }
    void OnSrqRaise(unsigned char) override { }
};
