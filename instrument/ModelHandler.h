#pragma once

#include "instrument/BoundValue.h"

#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>

class ModelInformation;
class QIODevice;
class QXmlStreamAttributes;
class QXmlStreamReader;

// One pass over the model definition file for one model code: a SAX-style handler fed by a
// stream reader. The matching model element's ratings go into the model information; the first
// unit's are stored, later units add their limits (voltage range, voltage, UVP and measured
// voltage keep the first entry of the whole build). Entries the controller cannot hold are
// refused and reported.
class ModelHandler
{
public:
    ModelHandler(ModelInformation *info, long modelId);

    // Parses the whole device; false after a syntax error, which fatalError() reported and
    // which keeps what was committed before it.
    bool parse(QIODevice *device);
    // A model element with this pass's code was met.
    bool matched() const { return m_matched; }

    bool startElement(const QString &qName, const QXmlStreamAttributes &attributes);
    bool endElement(const QString &qName);
    // Reports through the model information's parse-error reporter ("Model Handler") and error
    // sink; returns false, which ends the pass.
    bool fatalError(qint64 line, qint64 column, const QString &message);

private:
    void startModel(const QXmlStreamAttributes &attributes);
    void startRange(const QXmlStreamAttributes &attributes);
    void startLevel(const QXmlStreamAttributes &attributes);
    void startFunction(const QString &qName, const QXmlStreamAttributes &attributes);
    void commitRange();
    void commitLevel();
    void commitCutoff(const QString &qName);
    bool isFirstUnit() const;
    // Reports a refused element of the file, with its line.
    void refuse(const QString &what);

    ModelInformation *m_info; // not owned
    long m_modelId;
    int m_rangeCode = 0; // key of measurement maps
    int m_rangeIndex = 0; // key of range and setting maps
    bool m_inModel = false;
    bool m_matched = false;
    QMap<int, BoundValueBase> *m_rangeTarget = nullptr;
    QMap<int, BoundValue> *m_settingTarget = nullptr;
    QMap<int, BoundValueAcq> *m_acqTarget = nullptr;
    BoundValue m_work;
    bool m_workValid = true; // false when the work value's limits were refused
    QVector<QPair<double, qint32>> *m_listTarget = nullptr;
    double m_cutoffMin = 0.0;
    double m_cutoffMax = 0.0;
    QXmlStreamReader *m_reader = nullptr; // during parse(), for line numbers
};
