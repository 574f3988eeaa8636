// Makes the table of the Weibull pivots that the 90 % bounds and the unbiased modulus are read from
// (results/WeibullPivotTable.h). Run once, offline: some minutes on two threads. The raw figures the
// shipped table was made from are in tests/tools/weibull_pivots_raw.txt.
//
//   cmake --build build --target weibull_pivots
//   weibull_pivots simulate RAW        simulates every batch size and writes the raw figures
//   weibull_pivots table RAW > results/WeibullPivotTable.h
//
// For each batch size n the ML estimates of standard Weibull samples (m = 1, sigma0 = 1) give the
// 5 % and 95 % points of m^/m and of m^ ln(sigma0^/sigma0) and the mean of m^/m; their distributions
// do not depend on the true parameters. Each figure comes with its Monte Carlo standard error from
// 20 independent batches of replicates. Beyond the table the figures follow a fit in 1/sqrt(n)
// whose leading term is the large-sample limit; the table stage prints how far the fit lies from the
// simulated figures, in standard errors.

#include "results/WeibullEstimate.h"

#include <QList>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double Z95 = 1.6448536269514722;
constexpr double ShapeSd = 0.7796968012336761;     // sqrt(6) / pi: sqrt(n) sd(m^/m) for large n
constexpr double ScaleSd = 1.0529377668921645;     // sqrt(1 + 6 (1 - gamma)^2 / pi^2)
constexpr double TwoPointRoot = 2.399357280515467; // m^ |ln s1 - ln s2| for two values
constexpr int TableEnd = 100;                      // every n up to this one is simulated and tabled
constexpr int Batches = 20;
const std::array<int, 9> FitPoints = {120, 150, 200, 300, 500, 1000, 2000, 5000, 10000};

// Replicates: enough that the standard error of each point stays within about 0.03 % of it.
long Replicates(int n) {
    if (n <= 3)
        return 30'000'000;
    if (n <= 10)
        return 8'000'000;
    return std::max(2'000L, 11'000'000L / n);
}

struct Figures {
    int n = 0;
    long replicates = 0;
    double q[4] = {};  // shape 5 %, shape 95 %, scale 5 %, scale 95 %
    double se[4] = {}; // their standard errors
    double mean = 0, meanSe = 0;
};

double Quantile(std::vector<float>& v, std::size_t from, std::size_t to, double p) {
    const double h = double(to - from - 1) * p;
    const auto k = std::size_t(h);
    auto first = v.begin() + std::ptrdiff_t(from), last = v.begin() + std::ptrdiff_t(to);
    std::nth_element(first, first + std::ptrdiff_t(k), last);
    const double a = first[std::ptrdiff_t(k)];
    const double b = *std::min_element(first + std::ptrdiff_t(k) + 1, last);
    return a + (h - double(k)) * (b - a);
}

std::vector<Figures> ReadRaw(const char* path);

Figures Simulate(int n) {
    const long count = Replicates(n);
    std::mt19937_64 random(0x57A7E1u * 1000003u + std::uint64_t(n));
    std::vector<float> shapes(static_cast<std::size_t>(count)), scales(static_cast<std::size_t>(count));
    QList<double> logs(n);
    std::vector<double> batchSum(Batches, 0.0);
    long done = 0;
    while (done < count) {
        for (double& l : logs) {
            const double u = (double(random() >> 11) + 0.5) * 0x1.0p-53;
            l = std::log(-std::log(u));
        }
        const std::optional<WeibullEstimate> e = Weibull::MaximumLikelihoodEstimate(logs);
        if (!e)
            continue;
        shapes[std::size_t(done)] = float(e->m);
        scales[std::size_t(done)] = float(e->m * std::log(e->sigma0));
        batchSum[std::size_t(done * Batches / count)] += e->m;
        ++done;
    }
    Figures f;
    f.n = n;
    f.replicates = count;
    const double ps[4] = {0.05, 0.95, 0.05, 0.95};
    // The batches first: a quantile of the whole reorders it across the batches.
    for (int k = 0; k < 4; ++k) {
        std::vector<float>& v = k < 2 ? shapes : scales;
        double sum = 0, squares = 0;
        for (int b = 0; b < Batches; ++b) {
            const double q =
                Quantile(v, std::size_t(count * b / Batches), std::size_t(count * (b + 1) / Batches), ps[k]);
            sum += q;
            squares += q * q;
        }
        const double mean = sum / Batches;
        f.se[k] = std::sqrt(std::max(0.0, squares / Batches - mean * mean) / (Batches - 1));
    }
    for (int k = 0; k < 4; ++k)
        f.q[k] = Quantile(k < 2 ? shapes : scales, 0, std::size_t(count), ps[k]);
    double sum = 0, squares = 0;
    for (double s : batchSum) {
        const double m = s / double(count / Batches);
        sum += m;
        squares += m * m;
    }
    f.mean = sum / Batches;
    f.meanSe = std::sqrt(std::max(0.0, squares / Batches - f.mean * f.mean) / (Batches - 1));
    if (n == 2) {
        // m^/m = c / |logistic|, so P(m^/m <= q) = 1 - tanh(c / 2q); its mean is infinite.
        f.q[0] = TwoPointRoot / (2 * std::atanh(0.95));
        f.q[1] = TwoPointRoot / (2 * std::atanh(0.05));
        f.se[0] = f.se[1] = 0;
        f.mean = f.meanSe = 0;
    }
    return f;
}

// Two workers take the batch sizes in turn; each line is written as it is done (the table stage
// sorts them). Sizes already in the file are skipped, so a stopped run can go on.
int SimulateAll(const char* path) {
    std::vector<int> sizes;
    for (int n = 2; n <= TableEnd; ++n)
        sizes.push_back(n);
    sizes.insert(sizes.end(), FitPoints.begin(), FitPoints.end());
    for (const Figures& f : ReadRaw(path))
        sizes.erase(std::remove(sizes.begin(), sizes.end(), f.n), sizes.end());
    std::FILE* out = std::fopen(path, "a");
    if (!out)
        return 1;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    auto work = [&] {
        for (std::size_t i = next++; i < sizes.size(); i = next++) {
            const Figures f = Simulate(sizes[i]);
            const std::lock_guard<std::mutex> lock(mutex);
            std::fprintf(out, "%d %ld", f.n, f.replicates);
            for (int k = 0; k < 4; ++k)
                std::fprintf(out, " %.9g %.3g", f.q[k], f.se[k]);
            std::fprintf(out, " %.9g %.3g\n", f.mean, f.meanSe);
            std::fflush(out);
        }
    };
    std::thread second(work);
    work();
    second.join();
    std::fclose(out);
    return 0;
}

std::vector<Figures> ReadRaw(const char* path) {
    std::vector<Figures> all;
    std::FILE* in = std::fopen(path, "r");
    if (!in)
        return all;
    Figures f;
    while (std::fscanf(in, "%d %ld %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf", &f.n, &f.replicates, &f.q[0],
                       &f.se[0], &f.q[1], &f.se[1], &f.q[2], &f.se[2], &f.q[3], &f.se[3], &f.mean,
                       &f.meanSe) == 12)
        all.push_back(f);
    std::fclose(in);
    return all;
}

// Weighted least squares of y - lead(n) on 1/n, 1/n^1.5, 1/n^2.
struct Fit {
    double c[3] = {};
};

Fit FitTail(const std::vector<double>& n, const std::vector<double>& y, const std::vector<double>& w) {
    double a[3][4] = {};
    for (std::size_t i = 0; i < n.size(); ++i) {
        const double x[3] = {1 / n[i], std::pow(n[i], -1.5), 1 / (n[i] * n[i])};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                a[r][c] += w[i] * x[r] * x[c];
            a[r][3] += w[i] * x[r] * y[i];
        }
    }
    for (int p = 0; p < 3; ++p)
        for (int r = p + 1; r < 3; ++r) {
            const double f = a[r][p] / a[p][p];
            for (int c = p; c < 4; ++c)
                a[r][c] -= f * a[p][c];
        }
    Fit fit;
    for (int r = 2; r >= 0; --r) {
        double s = a[r][3];
        for (int c = r + 1; c < 3; ++c)
            s -= a[r][c] * fit.c[c];
        fit.c[r] = s / a[r][r];
    }
    return fit;
}

double Tail(const Fit& f, double lead, double n) {
    return lead / std::sqrt(n) + f.c[0] / n + f.c[1] * std::pow(n, -1.5) + f.c[2] / (n * n);
}

int Table(const char* path, int fitFrom) {
    std::vector<Figures> all = ReadRaw(path);
    if (all.empty())
        return 1;
    std::sort(all.begin(), all.end(), [](const Figures& a, const Figures& b) { return a.n < b.n; });
    // ln of the shape points, the scale points as they are, ln of the mean ratio; each leads with
    // its large-sample term (the mean has none).
    const double leads[5] = {-Z95 * ShapeSd, Z95 * ShapeSd, -Z95 * ScaleSd, Z95 * ScaleSd, 0};
    auto value = [](const Figures& f, int k) {
        return k < 2 ? std::log(f.q[k]) : k < 4 ? f.q[k] : std::log(f.mean);
    };
    auto error = [](const Figures& f, int k) {
        return k < 2 ? f.se[k] / f.q[k] : k < 4 ? f.se[k] : f.meanSe / f.mean;
    };
    Fit fits[5];
    for (int k = 0; k < 5; ++k) {
        std::vector<double> n, y, w;
        for (const Figures& f : all)
            if (f.n >= fitFrom) {
                n.push_back(f.n);
                y.push_back(value(f, k) - leads[k] / std::sqrt(double(f.n)));
                w.push_back(1 / (error(f, k) * error(f, k)));
            }
        fits[k] = FitTail(n, y, w);
        double chi = 0, worst = 0;
        for (const Figures& f : all)
            if (f.n >= fitFrom) {
                const double z = (value(f, k) - Tail(fits[k], leads[k], f.n)) / error(f, k);
                chi += z * z;
                worst = std::max(worst, std::abs(z));
            }
        std::fprintf(stderr, "figure %d: fit from n %d, chi^2 %.1f over %d points, worst %.2f se\n", k,
                     fitFrom, chi, int(n.size()), worst);
    }
    for (const Figures& f : all) {
        std::fprintf(stderr, "n %5d", f.n);
        for (int k = 0; k < 5; ++k) {
            if (f.n == 2 && k == 4)
                continue;
            std::fprintf(stderr, "  %+.4f%% (se %.4f%%)", 100 * (Tail(fits[k], leads[k], f.n) - value(f, k)),
                         100 * error(f, k));
        }
        std::fprintf(stderr, "\n");
    }

    std::printf("// Generated by tests/tools/weibull_pivots.cpp from its simulation; do not edit.\n"
                "// Batch sizes 2 to %d: the simulated points (n 2: the shape's exact ones, no mean).\n"
                "// From %d on: lead / sqrt(n) + c1 / n + c2 / n^1.5 + c3 / n^2, fitted to the points\n"
                "// simulated for n %d to %d, which it meets within their standard errors.\n\n"
                "#pragma once\n\nnamespace WeibullPivotTable {\n",
                fitFrom - 1, fitFrom, fitFrom, all.back().n);
    std::printf("constexpr int Last = %d;\n", fitFrom - 1);
    std::printf("// n, m^/m 5 %%, m^/m 95 %%, m^ ln(sigma0^/sigma0) 5 %% and 95 %%, mean of m^/m\n");
    std::printf("constexpr double Points[][6] = {\n");
    for (const Figures& f : all)
        if (f.n < fitFrom)
            std::printf("    {%d, %.7g, %.7g, %.7g, %.7g, %.7g},\n", f.n, f.q[0], f.q[1], f.q[2], f.q[3],
                        f.mean);
    std::printf("};\n");
    const char* names[5] = {"LogShape05", "LogShape95", "Scale05", "Scale95", "LogMeanShape"};
    for (int k = 0; k < 5; ++k)
        std::printf("constexpr double %s[4] = {%.10g, %.10g, %.10g, %.10g};\n", names[k], leads[k],
                    fits[k].c[0], fits[k].c[1], fits[k].c[2]);
    std::printf("} // namespace WeibullPivotTable\n");
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "simulate") == 0)
        return SimulateAll(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "table") == 0)
        return Table(argv[2], argc >= 4 ? std::atoi(argv[3]) : 12);
    std::fprintf(stderr, "usage: weibull_pivots simulate RAW | table RAW [FIT_FROM]\n");
    return 2;
}
