// Mediation by bootstrap: the mediated path coefficient b(xyz) = r(X,Y) × r(Y,Z) of three columns, the
// standard error of its bootstrap values and percentile limits read off their sorted distribution (the
// integer-part rule). Each resample draws whole cases with replacement, so a case keeps its X, Y and Z
// together; the drawn values are exact copies (no text round trip). Qt-free; see analysis/Procedure.h.
// Its readable definition is its literal transcription, tests/literal/LiteralMediationBoot.h.
//
// Data file: N (at least 2, at most kMaxMediationCases), then X, Y, Z of each case. Refused with a
// DataFileError: N below 2, fewer values than announced, a non-number, values so large that N times the
// largest square could overflow a single-precision sum, a column whose values are all equal (no variance), for
// which a correlation is undefined, and a variance too small for single precision (not a normal single).
//
// Values that differ little relative to their size (values near 10,000 with a spread of 1, say): where b(xyz), a
// correlation or a variance as defined strays from its double-precision figure, or a column's conditioning says
// single sums cannot hold its spread, the whole run works on each column shifted by its own mean with double
// sums (PrecisionCheck, engine/Module1.h), and a note says so.
//
// A resample in which X, Y or Z has no variance (all drawn values equal, or, on the defined path, a variance
// that computes as 0 or less) ends the run: RunStopped with the message naming the column (checked in the
// order X, Y, Z) and the resample number, and the obtained b(xyz) as the only box. Nothing is written then.
//
// Products of two variances: a single-precision product that overflows or underflows (values beyond about
// 1e9 or below about 1e-9) would make a correlation 0 or infinite; there the product is taken in double, so
// every correlation stays right. Wherever the single product is a normal number it is used as it is.
#pragma once

#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brevant {

// The result boxes in window order.
inline constexpr BoxSpec kMediationBootBoxes[] = {
    {"txtObtB", "label1", "Obtained  b(xyz)", BoxFormat::ThreeDecimals},
    {"StErrBox", "Label6", "St. Error", BoxFormat::ThreeDecimals},
    {"LowerCI", "Label2", "Lower Conf. Limit", BoxFormat::ThreeDecimals},
    {"UpperCI", "Label3", "Upper Conf. Limit", BoxFormat::ThreeDecimals},
};

// The window was designed for at most 10,000 cases; past that its sums are double (SumPrecision).
inline constexpr std::int64_t kMediationBootDesignedCases = 10'000;
// Three values a case.
inline constexpr std::int32_t kMaxMediationCases = kMaxDataValues / 3;

inline constexpr const char* kIllegalBxyzText = "This is an illegal value of bXYZ";

struct MediationBootData {
    std::vector<float> x, y, z;  // case i at [i - 1], in the file's order
    SumPrecision sums = SumPrecision::Single;
    bool centred = false;  // x, y and z hold deviations from their own means (PrecisionCheck)
};

MediationBootData ReadMediationBootData(DataFile& file);
// txtObtB, as the final result shows it.
std::vector<ResultBox> ObservedMediationBootBoxes(const MediationBootData& data);

// The figures of one set of three columns, each stored as a float.
struct MediationFigures {
    float varX = 0, varY = 0, varZ = 0;
    float covXY = 0, covYZ = 0;
    float rXY = 0, rYZ = 0;
    float b = 0;  // rYZ × rXY
};
MediationFigures ComputeMediation(const MediationBootData& data);
// r = cov / sqrt(varA × varB): the product in single where that is a normal number, otherwise in double.
float MediationCorrelation(float covariance, float varA, float varB) noexcept;

struct MediationBootResult {
    float obtainedB = 0;
    bool centred = false;     // the run was centred: a note says so
    ResampledSpread spread;   // of the bootstrap values (ResampledStandardError)
    float standardError = 0;  // the standard error shown: spread.standardError
    PercentilePositions positions;
    float lowerLimit = 0, upperLimit = 0;
    std::vector<float> bootstrapValues;  // b*(1..R), generation order: the output file and the histogram
    std::vector<float> sorted;           // the same, ascending, NaN last
    std::int64_t illegalCount = 0;       // resamples with |b*| > 1
    float firstIllegal = 0;              // the first of them, in generation order
};

// R resamples of N case draws each from generator, split across settings.threads threads with the bits of one: the
// generator ends after the whole run's draws, after the stopping resample's on a stop (the earliest in generation
// order), or after as many resamples' draws as were made when cancelled; then the sort, reported through
// control.sortDone / sortTotal. Throws SettingsError for R or q out of range (including R too small for q),
// RunCancelled when control asks, and RunStopped when a resample has a column with no variance.
MediationBootResult RunMediationBoot(const MediationBootData& data, const RunSettings& settings,
                                     Generator& generator, RunControl& control);

// The stop message for column ("X", "Y" or "Z") at resample k.
std::string NoVarianceMessage(const char* column, std::int64_t resample);

// Reads, runs and presents: boxes txtObtB, StErrBox, LowerCI, UpperCI; the histogram of the bootstrap
// values over their own range with the obtained b(xyz) marked; one illegal-value message when any |b*| > 1.
RunResult MediationBootProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                 RunControl& control);
RunResult PresentMediationBoot(MediationBootResult&& result, const RunSettings& settings);

}  // namespace brevant
