#pragma once

#include "core/analysis/analysis_state.h"
#include "core/analysis/suisho_params.h"
#include "core/odds/odds_arrays.h"

#include <string>
#include <vector>

namespace sorvantix {

// The analysis computation (CalcBtnClick without its parameter loading): from the
// win and quinella odds of one time point it fills the shares, share ranks, PA
// ratios and their sums, the marks 推奨馬/特奨馬, the singular-point pairs, the
// reference win and quinella bets and KasenRate (a fraction) of `state`.
//
// `state` must be freshly reset: the computation accumulates sums and only ever
// sets marks. Odds not above 0 count as not priced. Without any priced quinella
// pair everything but TanShare and KasenRate (0) keeps its reset value. Any
// parameter values are accepted (negative counts act as 0). Does not throw.
//
// When `lists` is given it receives the candidate lists of the singular points,
// for inspection; the analysis itself does not keep them.
struct SingularPointLists
{
    std::vector<std::string> S, T1, T2; // "%8.4f%2d" texts: PA ratio, group-A runner
};
void computeAnalysis(const OddsArrays& odds, const SuishoParams& params, AnalysisState& state,
                     SingularPointLists* lists = nullptr);

} // namespace sorvantix
