#pragma once

#include "results/ChartData.h"

struct FatigueFit;
struct GroupStatistics;
class StaticStatistics;

// The statistics plots as chart data for the chart toolkit.
namespace StatisticsCharts {
// ln(-ln(1 - F)) against ln(stress): the points (curve 1), the maximum-likelihood line (curve 2)
// and the median-rank regression line (curve 3), the lines across the points' range.
ChartData Weibull(const GroupStatistics& group);
// ln(median stress) against ln(stress rate): one point per group (curve 1) and the fitted line (curve 2).
ChartData Fatigue(const FatigueFit& fit);
// ln(median time to failure) against ln(stress): one point per static level (curve 1) and the fitted
// line when there is one (curve 2).
ChartData StaticFatigue(const StaticStatistics& statistics);
} // namespace StatisticsCharts
