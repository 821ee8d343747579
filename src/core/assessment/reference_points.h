#pragma once

// The reference points of the active variants as the assessment holds them:
// the tabs of the reference-point page, computed on the records, and the
// selectors changed after.

#include <optional>
#include <vector>

#include "assessment/state.h"
#include "refpoints/reference_points.h"

namespace tarvik::refpoints {

// "Создание закладок": one tab per active variant, captions set, edits empty.
std::vector<ReferenceTab> BuildReferenceTabs(const AssessmentState& state);

// "Рассчет ориентиров": for every tab's variant ComputeReferencePoints, fills
// the ten edits (MSY, BMSY, Blim as stored; FMSY, EMSY, Ftr, Etr, Flim, Elim
// as FMSY/EMSY rounded to 2 decimals; Btr as BMSY), then runs the handlers of
// the Btg selector and then of the Etg selector, so that the stored target
// biomass is the Etg choice. `tabs` must come from BuildReferenceTabs for the
// current active variants. Numbers use the general format with `decimalMark`.
void CalculateReferencePoints(AssessmentState& state, const ReferenceSelectors& selectors,
                              std::vector<ReferenceTab>& tabs, char decimalMark = '.');

// Btg selector change: BTarget ← SelectTargetBiomass(choice); the Btr edit
// shows it rounded to 2 decimals. FTarget and ETarget are not touched.
void ChangeTargetBiomass(AssessmentState& state, int choice, std::vector<ReferenceTab>& tabs,
                         char decimalMark = '.');

// Etg selector change: BTarget ← SelectTargetBiomass(choice), then
// ComputeTargetPoints; the Btr, Ftr and Etr edits show them rounded to 2
// decimals (so the Btr shown is the one the rules use).
void ChangeTargetEffort(AssessmentState& state, int choice, std::vector<ReferenceTab>& tabs,
                        char decimalMark = '.');

// Blim selector change: BLimit ← LimitFraction(index) · stored (rounded) BMSY,
// not rounded again; the Blim edit shows it. An unknown index changes nothing.
void ChangeLimitBiomass(AssessmentState& state, int index, std::vector<ReferenceTab>& tabs,
                        char decimalMark = '.');

// The active variants as FittedVariant, in ActiveVariants order.
std::vector<FittedVariant> ActiveFits(const AssessmentState& state);

// Whether state.ReferencePoints holds the reference points of the active
// variants as they are fitted now (computed, and no record changed since).
bool ReferencePointsCurrent(const AssessmentState& state);

// Transition «Рассчет ориентиров» of the reference-point page: for the active
// variants BuildReferenceTabs and CalculateReferencePoints with `selectors`,
// worked out on a copy of the records; the records, the tabs and what they
// were computed from are then stored (state.ReferencePoints). Clears what
// rests on the targets (Stage::Targets: the indicators, the forecast and the
// decision table). A variant whose points cannot be computed raises
// tarvik::Error, and nothing changes.
void UpdateReferencePoints(AssessmentState& state, const ReferenceSelectors& selectors,
                           char decimalMark = '.');

// The three selectors of the reference-point page.
enum class Selector { TargetBiomass, TargetEffort, LimitBiomass };

// Transition: a selector changed after the computation (ChangeTargetBiomass,
// ChangeTargetEffort or ChangeLimitBiomass on state.ReferencePoints.Tabs).
// Clears what rests on the targets, and for Blim what rests on it
// (Stage::LimitBiomass: the bootstrap as well). The Blim selector also
// works before the computation: it then stores the fraction
// (state.ReferencePoints.LimitFraction) and clears what rests on it. A
// failure (no computed tabs for a target selector, a Blim item the selector
// does not offer, a target that cannot be computed) raises tarvik::Error and
// changes nothing.
void ChangeSelector(AssessmentState& state, Selector selector, int choice, char decimalMark = '.');

// The selector changes an analyst makes after the computation, each when given.
struct SelectorChanges {
  std::optional<int> TargetBiomass;
  std::optional<int> TargetEffort;
  std::optional<int> LimitBiomass;
};

// The reference-point page as an analyst goes through it: UpdateReferencePoints
// with every selector at its first item, then the changes given, in the
// order Btr, Etr, Blim (ChangeSelector). A failure raises tarvik::Error and
// leaves the state as it was.
void UpdateReferencePoints(AssessmentState& state, const SelectorChanges& changes,
                           char decimalMark = '.');

}  // namespace tarvik::refpoints
