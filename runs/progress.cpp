#include "progress.h"

namespace runs {

void ProgressPacer::started(const RunRecord &run)
{
    m_run.emplace();
    m_run->runId = run.id;
    m_run->station = run.station;
    m_run->serial = run.serial;
    m_run->tests = run.tests;
    m_lastSent.reset();
}

void ProgressPacer::progressed(const runin::RunSoFar &soFar)
{
    if (!m_run)
        return;
    m_run->cycles = soFar.completedCycles;
    m_run->errors = soFar.errors;
    m_run->lastStep = soFar.lastStep;
    if (m_lastSent && soFar.clock - *m_lastSent < kEvery)
        return;
    m_lastSent = soFar.clock;
    m_send(*m_run);
}

void ProgressPacer::ended(std::int32_t completedCycles)
{
    if (!m_run)
        return;
    m_run->cycles = completedCycles;
    m_run->ended = true;
    m_send(*m_run);
    m_run.reset();
}

} // namespace runs
