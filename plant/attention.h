#pragma once

#include "pages.h"

#include "quality/quality.h"
#include "runs/progress.h"
#include "runs/runrecord.h"

#include <QDateTime>
#include <QString>

#include <vector>

// What a production lead should look at now, for the top of the plant now and its Atom feed.
namespace plant {

// A run not ended whose station has sent nothing for longer than this has gone silent.
inline constexpr qint64 kSilentAfterSeconds = 3 * 60;
// A week's yield counts from this many lenses on.
inline constexpr int kYieldLenses = 5;

// What the plant now and the feed are made of: each station's last run, its run under way, and
// the quality figures from the first day that attention looks back to.
struct PlantNow
{
    std::vector<runs::RunRecord> last;
    std::vector<runs::RunProgress> live;
    quality::Quality figures;
    QDateTime since; // the Monday of the ISO week two before this one: older news is not news
    // The database's clock now, which stamped the snapshots: silence is measured by it, not by
    // this server's clock.
    QDateTime clock;
};
base::Result<PlantNow> plantNow(runs::RunDatabase &records, const Request &request);

struct AttentionItem
{
    QString id; // "urn:uuid:...", from what the item is: the same while it stands
    QString title;
    QString link; // an address on this server
    QDateTime updated;
};

// Silent stations; stations whose latest 3 runs failed; lenses whose latest 2 runs failed on
// the same axis (latest since `now.since`); stations with a flagged point on a u-chart among
// their latest 5 runs; stations and weeks whose first-pass yield is under the target with at
// least 5 lenses.
base::Result<std::vector<AttentionItem>>
needsAttention(runs::RunDatabase &records, const Request &request, const PlantNow &now);

// The plant now and what needs attention in it.
struct Attention
{
    PlantNow plant;
    std::vector<AttentionItem> items;
};
base::Result<Attention> attention(runs::RunDatabase &records, const Request &request);

// The items as the list at the top of the plant now.
QString attentionList(const std::vector<AttentionItem> &items);

} // namespace plant
