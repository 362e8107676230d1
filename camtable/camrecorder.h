#pragma once

#include "base/result.h"

#include <QByteArray>

#include <functional>

namespace camtable {

// Keeps every saved cam table as a calibration record. The cam table part hands over what it
// has just written to the file; the keeping happens elsewhere (on another thread), and the
// outcome comes back on the user-interface thread.
class CamRecorder
{
public:
    using OutcomeHandler = std::function<void(const base::Status &outcome)>;

    virtual ~CamRecorder() = default;

    // The cam table file now holds `bytes`, in which `rowsRecorded` rows are recorded. Returns at
    // once; `done` is called later on the user-interface thread, unless the recorder is gone by
    // then.
    virtual void keepCamTable(const QByteArray &bytes, int rowsRecorded, OutcomeHandler done) = 0;
};

} // namespace camtable
