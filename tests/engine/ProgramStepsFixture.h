#pragma once

#include "engine/ProgramStepsModel.h"
#include "engine/Source.h"
#include "engine/ioc/AvlTree.h"
#include "instrument/ModelInformation.h"
#include "tests/instrument/SingleUnitModel.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QPair>
#include <QVector>

#include <memory>

// The step table model of the board's single-unit model (150 V, 30/3/0.3 A, read from the board
// root template) over one empty program tree, with the item-model tester attached. Register words
// of that model: 1e-6 of the base unit per word, so in the high ranges 1 A is 1,000,000, 1 A/us
// of slew rate 1,000,000, 1 V or 1 W 1,000,000.
class ProgramStepsFixture
{
public:
    using Mode = KeywordBridge_CcCrCvCpArb;

    // Board root with the model file; model information; errors the model reports are kept.
    bool setUp()
    {
        m_root = std::make_unique<BoardRootFixture>();
        vek::Source::resetState();
        m_errors.clear();
        m_info = SingleUnitModel::load(*m_root);
        if (!m_info)
            return false;
        ProgramStepsModel::setErrorSink([this](int code, const QString &detail) {
            m_errors.append({ code, detail });
        });
        m_model = std::make_unique<ProgramStepsModel>(m_info.get());
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        return true;
    }

    void tearDown()
    {
        m_tester.reset();
        m_model.reset();
        m_tree.reset();
        m_info.reset();
        ProgramStepsModel::setErrorSink({});
        vek::Source::resetState();
        m_root.reset();
    }

    // A new empty program opened in mode (ranges as they stand: high).
    void open(vek::SourceMode mode)
    {
        vek::Source::m_functionMode = mode;
        m_model->setProgramObject(nullptr);
        m_tree = std::make_unique<ioc::AvlTree>();
        m_model->setProgramObject(m_tree.get());
    }

    // n default steps, the level of step i set to levels[i] when given.
    bool addSteps(int n, const QVector<double> &levels = {})
    {
        if (m_model->insertSteps(-1, 1) != 0)
            return false;
        if (n > 1 && m_model->insertSteps(0, n - 1) != 0)
            return false;
        for (int i = 0; i < levels.size(); ++i) {
            m_model->setRow(unsigned(i));
            m_model->setLevel(levels[i]);
        }
        return m_model->rowCount() == n;
    }

    ioc::ProgramStep *step(unsigned number) const { return m_tree->search(number); }

    std::unique_ptr<BoardRootFixture> m_root;
    std::unique_ptr<ModelInformation> m_info;
    std::unique_ptr<ProgramStepsModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    std::unique_ptr<ioc::AvlTree> m_tree;
    QVector<QPair<int, QString>> m_errors;
};
