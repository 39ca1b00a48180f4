#include "core/analysis/analysis_state.h"

namespace sorvantix {

void AnalysisState::reset()
{
    TanShare.fill(-1.0);
    UmarenShare.fill(-1.0);
    UmarenShareSum.fill(0);
    OverallShare.fill(0);
    ShareRank.fill(0);
    PairPaRatio.fill(0);
    PairPaRatioRev.fill(0);
    PairPick.fill(0);
    PaTop3Sum.fill(0);
    PaAllSum.fill(0);
    PaOverOneRate.fill(-1.0);
    PaTop3Ratio.fill(0);
    PaAllRatio.fill(0);
    SuishoMark.fill(0);
    TokushoMark.fill(0);
    TargetGroupA.fill(0);
    TargetGroupB.fill(0);
    KaiTanHon = 0;
    KaiTanAan.fill(0);
    for (auto& s : KaiRenHon)
        s.clear();
    for (auto& s : KaiRenChuAna)
        s.clear();
    for (auto& s : KaiRenOoAna)
        s.clear();
}

} // namespace sorvantix
