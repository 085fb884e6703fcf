#include "sim/Board.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
constexpr quint32 ReadBit = 0x80000000;
constexpr quint32 StatusNotSlave = 0x10;
constexpr quint32 StatusLoadOn = 0x200000;
constexpr quint32 StatusExtLoadInput = 0x800000; // external load-on input high (not holding off)
constexpr quint32 StatusAcqWaiting = 0x20000000;
// Trigger word (trigger group word 0): acquisition sources and interval sampling.
constexpr quint32 AcqSourceImmediate = 0x100;
constexpr quint32 AcqSourceBus = 0x200;
constexpr quint32 AcqSourceLoadOff = 0x400;
constexpr quint32 AcqTimerOn = 0x800;
constexpr quint32 AcqSourceDigital2 = 0x2000;
constexpr quint32 AcqSourceTransientLink = 0x4000;
constexpr quint32 AcqSourceMSync = 0x8000;
// Integral gate selection: the integrals follow the load.
constexpr quint32 IntegralGateLoadOn = 0x40000000;
// Status word bits of a trip.
constexpr quint32 StatusOverCurrent = 0x1000;
constexpr quint32 StatusOverPower = 0x2000;
constexpr quint32 StatusUnderVoltage = 0x4000;
constexpr quint32 StatusProtection = 0x400000;
// Step operate word: trip actions and the trigger output.
constexpr quint32 OcTrip = 0x100000;
constexpr quint32 OpTrip = 0x200000;
constexpr quint32 UvpTrip = 0x400000;
constexpr quint32 TriggerOut = 0x4000;
// Command word: program starts, abort and the forced load-off.
constexpr quint32 ProgramStart = 0x1;
constexpr quint32 ProgramAbort = 0x2;
constexpr quint32 SineStart = 0x11;
constexpr quint32 PulseStart = 0x20;
constexpr quint32 ForceLoadOff = 0x100000;
// Alarm word.
constexpr quint32 AlarmClearCutoff = 0x4;
constexpr quint32 AlarmClearProtection = 0x20000000;

void put64(Acquisition::Record &r, int i, qint64 v)
{
    r[size_t(i)] = quint32(quint64(v) & 0xFFFFFFFF);
    r[size_t(i) + 1] = quint32(quint64(v) >> 32);
}
} // namespace

Board::Board(qint64 nowUs)
{
    reset(nowUs);
}

void Board::reset(qint64 nowUs)
{
    m_memory.clear();
    m_exec.reset();
    m_identity = Identity();
    m_load = LoadModel();
    m_acq.reset();
    m_log.clear();
    m_messages = 0;
    m_lastUs = nowUs;
    resetIntegrals();
    m_integrating = true;
    m_loadWasOn = false;
    m_usPerCount = 8.0;
    m_statusOr = 0;
    m_statusAndNot = 0;
    m_cutoff = 0;
    m_protection = 0;
    m_cutoffHold = false;
    m_restartHold = false;
    m_loadHold = false;
    m_sineRun = false;
    m_sineStartUs = 0;
    m_triggerOuts = 0;
    m_lastNode = 0xFFFFFFFF;
    m_failures = 0;
    m_corruptEcho = false;
}

QVector<quint32> Board::exchange(const QVector<quint32> &message, qint64 nowUs)
{
    advance(nowUs);
    ++m_messages;
    QVector<quint32> reply(message.size(), 0);
    int i = 0;
    while (i + 2 <= message.size()) {
        const quint32 address = message.at(i);
        const quint32 count = message.at(i + 1);
        // A unit longer than the message is cut off by the driver: nothing of it is taken.
        if (count > quint32(message.size() - i - 2))
            break;
        if (address & ReadBit) {
            const QVector<quint32> data = read(address, int(count));
            const bool corrupt = m_corruptEcho && address == IdentificationBlock;
            reply[i] = corrupt ? 0 : address;
            reply[i + 1] = corrupt ? 0 : count;
            std::copy(data.cbegin(), data.cend(), reply.begin() + i + 2);
        } else {
            writeUnit(address, message.constData() + i + 2, int(count), nowUs);
        }
        i += 2 + int(count);
    }
    // The controller acts on a message's one-shot commands once the whole message is stored, so
    // a start sent with new trigger settings in the same message arms with the new settings.
    const QVector<quint32> commands = std::exchange(m_pendingCommands, {});
    for (quint32 value : commands)
        commandWritten(value, nowUs);
    checkLimits(nowUs);
    followLoadState(nowUs);
    return reply;
}

void Board::writeUnit(quint32 address, const quint32 *words, int count, qint64 nowUs)
{
    if (m_log.size() >= LogCapacity)
        m_log.removeFirst();
    m_log.append({ nowUs, m_messages, address, QVector<quint32>(words, words + count) });
    for (int j = 0; j < count; ++j) {
        const quint32 a = address + 4 * quint32(j);
        m_memory.setWord(a, words[j]);
        wordWritten(a, words[j], nowUs);
    }
}

void Board::wordWritten(quint32 address, quint32 value, qint64 nowUs)
{
    switch (address) {
    case RegisterMemory::CommandRegister:
        m_pendingCommands.append(value);
        break;
    case RegisterMemory::AlarmCommand:
        alarmWritten(value, nowUs);
        break;
    case RegisterMemory::CalibrationBase + 0x508:
        m_identity.calYear = value;
        break;
    case RegisterMemory::CalibrationBase + 0x50C:
        m_identity.calMonth = quint16(value >> 16);
        m_identity.calDay = quint16(value & 0xFFFF);
        break;
    default:
        break;
    }
}

void Board::commandWritten(quint32 value, qint64 nowUs)
{
    // Word 1 of the program group and the command register share one command word: program
    // commands (0x1000FF), bus trigger, integral commands and acquisition commands.
    const quint32 sources = m_memory.trigger(0);
    if ((value & 0x10000) && (sources & AcqSourceBus))
        m_acq.trigger(nowUs);
    if (value & 0x4000000)
        resetIntegrals();
    if (value & 0x1000000)
        m_integrating = true;
    if (value & 0x2000000)
        m_integrating = false;
    if (value & 0x200)
        m_acq.abort();
    else if (value & 0x100)
        m_acq.initiate(nowUs, acquisitionSettings());
    if ((value & 0x8000) && (sources & AcqSourceMSync))
        m_acq.trigger(nowUs);
    if (value & ForceLoadOff)
        m_cutoffHold = true;
    const quint32 program = value & 0xFF;
    if (program & ProgramAbort)
        m_sineRun = false;
    if (program == ProgramStart || program == PulseStart || program == SineStart) {
        m_restartHold = false;
        m_sineRun = program == SineStart;
        m_sineStartUs = nowUs;
    }
    const quint64 starts = m_exec.startTriggers();
    m_exec.command(value, nowUs);
    followTransientTrigger(starts, nowUs);
}

void Board::alarmWritten(quint32 value, qint64 nowUs)
{
    advance(nowUs);
    // The load returns from a trip only with a restart: a start or the clear-cut-off command.
    if ((value & AlarmClearProtection) && m_protection) {
        m_protection = 0;
        m_restartHold = true;
    }
    if (value & AlarmClearCutoff) {
        m_cutoffHold = false;
        m_restartHold = false;
        setCutoffByte(0);
    }
}

void Board::setLoadHold(bool on)
{
    m_loadHold = on;
    followLoadState(m_lastUs);
}

void Board::checkLimits(qint64 nowUs)
{
    const StepRecord step = stepAt(nowUs);
    if (!step.loadOn())
        return;
    const LoadModel::Point p = operatingPointAt(nowUs);
    const quint32 mode = m_memory.modeWord();
    const bool arb = mode & 0x2000000;
    const quint32 function = mode & 0xF;
    quint32 trip = 0;
    if ((step.operate & OcTrip) && !arb && function != LoadModel::CC
        && p.amps * 1e6 > double(step.ccLimit))
        trip = StatusOverCurrent;
    else if ((step.operate & OpTrip) && function != LoadModel::CP
        && p.volts * p.amps * 1e6 > double(step.cpLevel))
        trip = StatusOverPower;
    else if ((step.operate & UvpTrip) && p.volts * 1e6 < double(step.uvLevel))
        trip = StatusUnderVoltage;
    if (trip) {
        m_protection = StatusProtection | trip;
        followLoadState(nowUs);
        return;
    }

    const auto word64 = [this](int i) {
        return quint64(m_memory.word(RegisterMemory::CutOffGroup + 4 * quint32(i)))
            | quint64(m_memory.word(RegisterMemory::CutOffGroup + 4 * quint32(i + 1))) << 32;
    };
    const quint32 enabled = m_memory.word(RegisterMemory::CutOffGroup);
    quint8 occurred = 0;
    if ((enabled & 0x10000000)
        && p.volts * 1e6 <= double(m_memory.word(RegisterMemory::CutOffGroup + 4)))
        occurred |= 0x10;
    if ((enabled & 0x20000000) && m_elapsedUs >= double(word64(2)))
        occurred |= 0x20;
    if ((enabled & 0x40000000) && m_capacity >= double(qint64(word64(4))))
        occurred |= 0x40;
    if ((enabled & 0x80000000) && m_energy >= double(qint64(word64(6))))
        occurred |= 0x80;
    if (occurred) {
        m_cutoffHold = true;
        setCutoffByte(m_cutoff | occurred);
    }
}

quint32 Board::sineLevel(const StepRecord &step, qint64 us) const
{
    const double word = double(m_memory.word(RegisterMemory::SineGroup));
    const double hertz = 50000.0 / (word + 0.5);
    const double amplitude = double(m_memory.word(RegisterMemory::SineGroup + 4));
    const double t = double(us - m_sineStartUs) * 1e-6;
    const double level = double(step.dcLevel) + amplitude * std::sin(2.0 * M_PI * hertz * t);
    return quint32(std::clamp(level, 0.0, 4294967295.0));
}

// The trigger group as an initiate reads it: word 0 the sources and interval bit, 2 the delay,
// 3 the count, 4 the interval timer, 5 the aperture (times in controller counts).
Acquisition::Settings Board::acquisitionSettings() const
{
    const auto micros = [this](int word) {
        return qint64(std::llround(m_memory.trigger(word) * m_usPerCount));
    };
    Acquisition::Settings settings;
    settings.immediate = m_memory.trigger(0) & AcqSourceImmediate;
    settings.interval = m_memory.trigger(0) & AcqTimerOn;
    settings.delayUs = micros(2);
    settings.count = int(std::min<quint32>(m_memory.trigger(3), Acquisition::Capacity));
    settings.intervalUs = micros(4);
    settings.apertureUs = micros(5);
    return settings;
}

// The acquisition source TALINK: a start of the transient system triggers the acquisition.
void Board::followTransientTrigger(quint64 startsBefore, qint64 nowUs)
{
    if (m_exec.startTriggers() != startsBefore && (m_memory.trigger(0) & AcqSourceTransientLink))
        m_acq.trigger(nowUs);
}

void Board::setCutoffByte(quint8 value)
{
    m_cutoff = value;
    m_exec.setCutoff(value & 0xF0, m_lastUs);
    followLoadState(m_lastUs);
}

void Board::triggerTransient(quint32 triggers, qint64 nowUs)
{
    advance(nowUs);
    if ((triggers & ProgramExecutor::Digital2) && (m_memory.trigger(0) & AcqSourceDigital2))
        m_acq.trigger(nowUs);
    const quint64 starts = m_exec.startTriggers();
    m_exec.trigger(triggers, nowUs);
    followTransientTrigger(starts, nowUs);
    followLoadState(nowUs);
}

void Board::followLoadState(qint64 nowUs)
{
    const StepRecord step = stepAt(nowUs);
    const bool on = step.loadOn();
    if (step.valid && step.nodeAddress != m_lastNode) {
        m_lastNode = step.nodeAddress;
        if (step.operate & TriggerOut)
            ++m_triggerOuts;
    }
    if (on && !m_loadWasOn && (m_memory.trigger(0) & 0x4000000))
        resetIntegrals(); // integral gate auto reset at load on
    // The load-on gate opens at every load on, also after an integral stop.
    if (on && !m_loadWasOn && (m_memory.trigger(0) & IntegralGateLoadOn))
        m_integrating = true;
    if (!on && m_loadWasOn && (m_memory.trigger(0) & AcqSourceLoadOff))
        m_acq.trigger(nowUs); // acquisition triggered by load off
    m_loadWasOn = on;
}

QVector<quint32> Board::read(quint32 address, int count) const
{
    QVector<quint32> data(count, 0);
    const bool monitor = address >= MonitorRecord && address < MonitorRecord + 64;
    const Acquisition::Record record =
        monitor ? measurement(MonitorSamples) : Acquisition::Record {};
    for (int j = 0; j < count; ++j)
        data[j] = readWord(address + 4 * quint32(j), record);
    return data;
}

quint32 Board::readWord(quint32 a, const Acquisition::Record &monitor) const
{
    if (a >= StatusBlock && a < StatusBlock + 16) {
        switch ((a - StatusBlock) / 4) {
        case 0:
            return statusWord();
        case 1:
            return (quint32(m_acq.written()) & 0xFFFFFF) | (quint32(m_cutoff) << 24);
        case 2:
            return m_exec.nodeAddress();
        default:
            return m_exec.loopCounter();
        }
    }
    if (a >= MonitorRecord && a < MonitorRecord + 64)
        return monitor[(a - MonitorRecord) / 4];
    if (a >= TraceArea && a < TraceAreaEnd)
        return m_acq.word((a - TraceArea) / 4);
    if (a >= IdentificationBlock && a < IdentificationBlock + 24)
        return m_identity.identificationWord(int(a - IdentificationBlock) / 4);
    if (a >= UnitBlock && a < UnitBlock + 120)
        return m_identity.unitWord(int(a - UnitBlock) / 4);
    if (a >= 0xF0000000)
        return m_memory.word(RegisterMemory::CalibrationBase + (a - 0xF0000000));
    return 0;
}

quint32 Board::statusWord() const
{
    quint32 s = StatusNotSlave | StatusExtLoadInput;
    const LoadModel::Point p = operatingPoint();
    if (activeStep().loadOn())
        s |= StatusLoadOn | p.regulation;
    if (m_acq.waitingForTrigger())
        s |= StatusAcqWaiting;
    s |= m_exec.statusBits() | m_protection;
    return (s | m_statusOr) & ~m_statusAndNot;
}

StepRecord Board::stepAt(qint64 us) const
{
    // A ramp moves the level the mode regulates at: the CP level in CP mode (ARB is not CP).
    const quint32 mode = m_memory.modeWord();
    const bool cp = !(mode & 0x2000000) && (mode & 0xF) == LoadModel::CP;
    StepRecord step = m_exec.appliedStep(us, cp);
    if (loadHeldOff())
        step.operate &= ~StepRecord::LoadOn;
    if (m_sineRun && step.valid && (mode & 0x2000000) == 0 && (mode & 0xF) == LoadModel::CC)
        step.dcLevel = sineLevel(step, us);
    return step;
}

// The one place where a step's levels meet the load model.
LoadModel::Point Board::operatingPointAt(qint64 us) const
{
    const quint32 mode = m_memory.modeWord();
    if (mode & 0x2000000)
        return m_load.operatingPoint(
            mode, stepAt(us), m_memory.writtenRun(RegisterMemory::ArbTable));
    return m_load.operatingPoint(mode, stepAt(us));
}

Acquisition::Record Board::measurement(int samples) const
{
    const LoadModel::Point p = operatingPoint();
    const quint32 mode = m_memory.modeWord();
    const int currCode = LoadModel::currentRangeCode(mode);
    const int voltCode = LoadModel::voltageRangeCode(mode);
    Acquisition::Record r {};
    put64(r, 0, std::llround(p.volts * 1e6) * samples);
    put64(r, 2, std::llround(p.amps * 1e6) * samples);
    put64(r, 4, std::llround(m_capacity));
    put64(r, 6, std::llround(m_elapsedUs));
    put64(r, 8, std::llround(m_energy));
    quint32 flags = 0x7 | (quint32(currCode) << 8) | (quint32(voltCode) << 23);
    if (std::fabs(p.volts) > m_load.voltageFullScale(voltCode))
        flags |= p.volts < 0 ? 0x1010 : 0x10;
    if (std::fabs(p.amps) > m_load.currentFullScale(currCode))
        flags |= p.amps < 0 ? 0x4040 : 0x40;
    r[14] = flags;
    r[15] = quint32(samples);
    return r;
}

void Board::advance(qint64 nowUs)
{
    // Step changes and trace records in time order; a record due with a step change measures
    // the step that ends.
    for (;;) {
        const auto record = m_acq.nextDue();
        const auto step = m_exec.nextEvent();
        const qint64 due = std::min(record.value_or(nowUs + 1), step.value_or(nowUs + 1));
        if (due > nowUs)
            break;
        integrateTo(due);
        if (record && *record == due) {
            m_acq.takeDue(measurement(apertureSamples()));
        } else {
            const quint64 starts = m_exec.startTriggers();
            m_exec.advance(due);
            followTransientTrigger(starts, due);
            checkLimits(due);
            followLoadState(due);
        }
    }
    integrateTo(nowUs);
}

void Board::integrateTo(qint64 nowUs)
{
    const qint64 from = m_lastUs;
    const qint64 dt = nowUs - from;
    if (dt <= 0)
        return;
    m_lastUs = nowUs;
    const StepRecord step = stepAt(from);
    if (!m_integrating || !step.loadOn())
        return;
    // The step does not change inside the span; a ramp's power is a quadratic in time at most
    // in CC, so Simpson's rule over the ends and the middle integrates it exactly.
    double amps = 0.0;
    double watts = 0.0;
    if (step.ramps()) {
        const LoadModel::Point a = operatingPointAt(from);
        const LoadModel::Point m = operatingPointAt(from + dt / 2);
        const LoadModel::Point b = operatingPointAt(nowUs);
        amps = (a.amps + 4.0 * m.amps + b.amps) / 6.0;
        watts = (a.volts * a.amps + 4.0 * m.volts * m.amps + b.volts * b.amps) / 6.0;
    } else {
        const LoadModel::Point p = operatingPointAt(from);
        amps = p.amps;
        watts = p.volts * p.amps;
    }
    m_elapsedUs += double(dt);
    m_capacity += amps * double(dt) / 3600.0; // A · µs / 3600 = µAh
    m_energy += watts * double(dt) / 3600.0;
}

void Board::resetIntegrals()
{
    m_elapsedUs = 0.0;
    m_capacity = 0.0;
    m_energy = 0.0;
}

void Board::failNext(int n, Failure how)
{
    m_failures = std::max(n, 0);
    m_failureKind = how;
}

Board::Failure Board::takeFailure()
{
    if (m_failures <= 0)
        return Failure::None;
    --m_failures;
    return m_failureKind;
}

void Board::setStatusMasks(quint32 orMask, quint32 andNotMask)
{
    m_statusOr = orMask;
    m_statusAndNot = andNotMask;
}

bool Board::setMicrosPerCount(double us)
{
    if (!(us > 0.0) || !std::isfinite(us))
        return false;
    m_usPerCount = us;
    return true;
}

int Board::injectTraceRecords(int n)
{
    for (int k = 0; k < n && m_acq.written() < Acquisition::Capacity; ++k)
        m_acq.append(measurement(apertureSamples()));
    return m_acq.written();
}

// A trace record sums one sample per aperture count.
int Board::apertureSamples() const
{
    return int(std::clamp<quint32>(m_memory.trigger(5), 1, 1u << 20));
}

} // namespace sim
