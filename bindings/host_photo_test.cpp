// The shared argument rules: every image kind becomes the bytes the program's decoder gives
// for such a file, region ids are read or refused by value, knobs are checked by range,
// and every refusal carries the table's words in each host's conventions.
#include "host_photo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "argument_errors.h"
#include "segment_options.h"

namespace segmora::bindings {
namespace {

const HostStyle kTuples{true,
                        "[",
                        "]",
                        true,
                        "(H, W) or (H, W, C)",
                        "bool",
                        "float32",
                        "float64",
                        {"threshold", "sigma", "cap_divisor", "min_size", "threads", "bit_depth",
                         "count"}};
const HostStyle kMatrices{false,
                          "(",
                          ")",
                          false,
                          "H-by-W or H-by-W-by-C",
                          "logical",
                          "single",
                          "double",
                          {"Threshold", "Sigma", "CapDivisor", "MinSize", "Threads", "BitDepth",
                          "Count"}};

// A row-major host array over `values`, of `shape`.
template <class T>
HostArray arrayOf(const std::vector<T>& values, Element element,
                  std::vector<std::ptrdiff_t> shape) {
    HostArray array;
    array.data = values.data();
    array.element = element;
    array.kindName = "kind";
    array.shape = shape;
    array.strides.assign(shape.size(), 1);
    for (int d = static_cast<int>(shape.size()) - 2; d >= 0; --d)
        array.strides[d] = array.strides[d + 1] * shape[d + 1];
    return array;
}

// The message of the ArgumentError `call` throws, checked against `problem`.
template <class Call>
std::string refusal(Problem problem, Call call) {
    try {
        call();
    } catch (const ArgumentError& e) {
        EXPECT_EQ(static_cast<int>(e.problem), static_cast<int>(problem)) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "nothing refused";
    return "";
}

cv::Mat convert(const HostArray& rgb) {
    cv::Mat bgr;
    photoFrom(rgb, checkPhoto(rgb, kTuples), kTuples, bgr);
    return bgr;
}

TEST(PhotoInput, EveryKindBecomesTheDecodersBytes) {
    // One pixel of each kind: grey, grey + alpha, RGB and RGBA.
    const std::vector<std::uint16_t> deep{0x12ff, 0x3400, 0xff01, 0x00ff};
    EXPECT_EQ(convert(arrayOf(deep, Element::UInt16, {1, 1, 4})).at<cv::Vec3b>(0, 0),
              cv::Vec3b(0xff, 0x34, 0x12));
    EXPECT_EQ(convert(arrayOf(deep, Element::UInt16, {1, 1, 2})).at<cv::Vec3b>(0, 0),
              cv::Vec3b(0x12, 0x12, 0x12));
    const std::vector<std::uint8_t> flags{0, 1, 2, 1};
    EXPECT_EQ(convert(arrayOf(flags, Element::Bool, {2, 2})).at<cv::Vec3b>(1, 0),
              cv::Vec3b(255, 255, 255));
    EXPECT_EQ(convert(arrayOf(flags, Element::Bool, {2, 2, 1})).at<cv::Vec3b>(0, 0),
              cv::Vec3b(0, 0, 0));
    const std::vector<double> unit{0.0, 0.5 / 255, 1.0, 127.49 / 255};
    const cv::Mat fromDouble = convert(arrayOf(unit, Element::Float64, {1, 1, 3}));
    EXPECT_EQ(fromDouble.at<cv::Vec3b>(0, 0), cv::Vec3b(255, 1, 0));  // halves round up
    const std::vector<float> single{127.49f / 255, 0.25f, 1.0f};
    EXPECT_EQ(convert(arrayOf(single, Element::Float32, {1, 1, 3})).at<cv::Vec3b>(0, 0),
              cv::Vec3b(255, 64, 127));
    // Every 8-bit value survives the trip through 0..1.
    std::vector<float> ramp(256);
    for (int v = 0; v < 256; ++v) ramp[v] = static_cast<float>(v / 255.0);
    const cv::Mat back = convert(arrayOf(ramp, Element::Float32, {16, 16}));
    for (int v = 0; v < 256; ++v) ASSERT_EQ(back.at<cv::Vec3b>(v / 16, v % 16)[1], v);
}

TEST(PhotoInput, DeepSamplesKeepTheirLevelsBySampleBits) {
    // 12-bit values: the high byte keeps 16 levels, 12 bits keep them all and saturate above.
    const std::vector<std::uint16_t> deep{4095, 16, 15, 65535};
    const HostArray grey = arrayOf(deep, Element::UInt16, {2, 2});
    cv::Mat bgr;
    photoFrom(grey, checkPhoto(grey, kTuples), kTuples, bgr, 12);
    EXPECT_EQ(bgr.at<cv::Vec3b>(0, 0), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(bgr.at<cv::Vec3b>(0, 1), cv::Vec3b(1, 1, 1));
    EXPECT_EQ(bgr.at<cv::Vec3b>(1, 0), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(bgr.at<cv::Vec3b>(1, 1), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(convert(grey).at<cv::Vec3b>(0, 0), cv::Vec3b(15, 15, 15));
    photoFrom(grey, checkPhoto(grey, kTuples), kTuples, bgr, 16);
    EXPECT_EQ(bgr.at<cv::Vec3b>(0, 0), cv::Vec3b(15, 15, 15));
    // Eight-bit photos are not touched by the option.
    const std::vector<std::uint8_t> bytes{200};
    const HostArray one = arrayOf(bytes, Element::UInt8, {1, 1});
    photoFrom(one, checkPhoto(one, kTuples), kTuples, bgr, 8);
    EXPECT_EQ(bgr.at<cv::Vec3b>(0, 0), cv::Vec3b(200, 200, 200));

    KnobValues knobs;
    EXPECT_EQ(sampleBitsFrom(knobs, kTuples), 16);
    knobs.bitDepth = 12.0;
    EXPECT_EQ(sampleBitsFrom(knobs, kTuples), 12);
    for (const double bad : {7.0, 17.0, 12.5}) {
        knobs.bitDepth = bad;
        EXPECT_NE(refusal(Problem::OptionRange, [&] { sampleBitsFrom(knobs, kMatrices); })
                      .find("BitDepth must be a whole number from 8 to 16"),
                  std::string::npos);
    }
}

TEST(PhotoInput, RefusalsNameTheShapeAndPositionInTheHostsWords) {
    const std::vector<std::int64_t> wide(12, 0);
    const std::vector<double> notANumber{0.2, NAN};
    struct Case {
        HostArray array;
        Problem problem;
        const char* tuples;
        const char* matrices;
    } cases[] = {
        // The hosts' tests see the other refusals; these need arrays they cannot make cheaply.
        {arrayOf(wide, Element::Float64, {3}), Problem::PhotoShape, "not (3,)", "not 3"},
        {arrayOf(wide, Element::UInt8, {1 << 15, 1 << 14}), Problem::PhotoTooLarge,
         "rgb of shape (32768, 16384) has too many pixels (the limit is 2^29)", "32768x16384"},
        {arrayOf(notANumber, Element::Float64, {1, 2}), Problem::PhotoValue,
         "rgb[0, 1] = nan is outside", "rgb(1, 2) = nan"},
    };
    for (const Case& c : cases) {
        for (const HostStyle* style : {&kTuples, &kMatrices}) {
            const std::string message = refusal(c.problem, [&] {
                cv::Mat bgr;
                photoFrom(c.array, checkPhoto(c.array, *style), *style, bgr);
            });
            EXPECT_NE(message.find(style == &kTuples ? c.tuples : c.matrices), std::string::npos)
                << message;
        }
    }
}

TEST(PhotoInput, RegionIdsOfEveryKindAreReadOrRefused) {
    const PhotoSize size{2, 2, 3};
    cv::Mat_<int> copy;
    const std::vector<std::int32_t> ints{-7, 0, 9, INT32_MIN};
    const cv::Mat_<int> view =
        regionsFrom(arrayOf(ints, Element::Int32, {2, 2}), size, kTuples, copy);
    EXPECT_EQ(view.ptr<int>(0), ints.data());  // int32 rows are read in place
    const std::vector<double> whole{-7, 0, 9, -2147483648.0};
    EXPECT_EQ(cv::countNonZero(regionsFrom(arrayOf(whole, Element::Float64, {2, 2}), size, kTuples,
                                           copy) != view),
              0);
    const std::vector<std::uint8_t> flags{0, 3, 1, 0};
    const cv::Mat_<int> fromBool =
        regionsFrom(arrayOf(flags, Element::Bool, {2, 2}), size, kTuples, copy);
    EXPECT_EQ(fromBool(0, 1), 1);
    EXPECT_EQ(fromBool(1, 1), 0);

    struct Bad {
        HostArray array;
        const char* tuples;
        const char* matrices;
    };
    const std::vector<std::uint64_t> huge{0, 0, 0, 1ull << 63};
    const std::vector<float> half{0, 0, 0.5f, 0};
    for (const Bad& bad :
         {Bad{arrayOf(huge, Element::UInt64, {2, 2}),
              "regions[1, 1] = 9223372036854775808 is not a whole number in the int32 range",
              "regions(2, 2) = 9223372036854775808"},
          Bad{arrayOf(half, Element::Float32, {2, 2}), "regions[1, 0] = 0.5",
              "regions(2, 1) = 0.5"}}) {
        for (const HostStyle* style : {&kTuples, &kMatrices}) {
            const std::string message = refusal(Problem::RegionValue, [&] {
                checkRegions(bad.array, size, *style);
                regionsFrom(bad.array, size, *style, copy);
            });
            EXPECT_NE(message.find(style == &kTuples ? bad.tuples : bad.matrices),
                      std::string::npos)
                << message;
        }
    }
    EXPECT_EQ(refusal(Problem::RegionsShape,
                      [&] {
                          checkRegions(arrayOf(ints, Element::Int32, {1, 4}), size, kMatrices);
                      }),
              "regions must have shape 2x2 like rgb, not 1x4");
    EXPECT_EQ(refusal(Problem::RegionsKind,
                      [&] {
                          checkRegions(arrayOf(ints, Element::Other, {2, 2}), size, kTuples);
                      }),
              "regions must hold integers, bool or whole float32/float64 numbers, not kind");
}

TEST(SegmentOptions, KnobsAreCheckedByRangeAndNamedInTheHostsWords) {
    const Parameters defaults = parametersFrom(KnobValues{}, kTuples);
    EXPECT_EQ(defaults.threshold, 500.0f);
    EXPECT_EQ(defaults.capDivisor, 0);  // the photo default
    EXPECT_EQ(defaults.minSize, kMinSegmentSize);
    const Parameters set = parametersFrom(KnobValues{300.0, 0.5, 1000.0, 10.0}, kTuples);
    EXPECT_EQ(set.threshold, 300.0f);
    EXPECT_EQ(set.sigma, 0.5f);
    EXPECT_EQ(set.capDivisor, 1000);
    EXPECT_EQ(set.minSize, 10);
    struct Bad {
        KnobValues knobs;
        const char* message;
    };
    for (const Bad& bad : {
             Bad{{-1.0, {}, {}, {}}, "Threshold must be a finite number of at least 0, not -1"},
             Bad{{INFINITY, {}, {}, {}},
                 "Threshold must be a finite number of at least 0, not inf"},
             Bad{{1e300, {}, {}, {}}, "not 1e+300"},
             Bad{{{}, 100.5, {}, {}}, "Sigma must be a number from 0 to 100, not 100.5"},
             Bad{{{}, NAN, {}, {}}, "Sigma must be a number from 0 to 100, not nan"},
             Bad{{{}, {}, 0.0, {}}, "CapDivisor must be a whole number of at least 1, not 0"},
             Bad{{{}, {}, 2.5, {}}, "CapDivisor must be a whole number of at least 1, not 2.5"},
             Bad{{{}, {}, 4294967296.0, {}}, "not 4294967296"},
             Bad{{{}, {}, {}, -1.0}, "MinSize must be a whole number of at least 0, not -1"},
             // Above the largest value the words name that largest value.
             Bad{{3.5e38, {}, {}, {}},
                 "Threshold must be a number from 0 to 3.4028234663852886e+38 (the largest "
                 "float), not 3.5e+38"},
             Bad{{{}, {}, 2147483648.0, {}},
                 "CapDivisor must be a whole number from 1 to 2147483647, not 2147483648"},
             Bad{{{}, {}, {}, 2147483648.0},
                 "MinSize must be a whole number from 0 to 2147483647, not 2147483648"},
         }) {
        EXPECT_EQ(refusal(Problem::OptionRange, [&] { parametersFrom(bad.knobs, kMatrices); })
                          .find(bad.message) != std::string::npos,
                  true)
            << bad.message;
    }
    EXPECT_EQ(threadsFrom(64, kTuples), 64);
    EXPECT_EQ(refusal(Problem::OptionRange, [] { threadsFrom(65, kTuples); }),
              "threads must be a whole number from 0 to 64, not 65");
    EXPECT_EQ(refusal(Problem::OptionUnknown, [] { refuseUnknownOption("Scale", kMatrices); }),
              "unknown option 'Scale' (known: Threshold, Sigma, CapDivisor, MinSize, BitDepth, "
              "Count)");
    // A long name (a char matrix's columns run together) is cut short in the echo.
    const std::string matrix = std::string(40, 'a') + std::string(480, 'b');
    EXPECT_EQ(refusal(Problem::OptionUnknown, [&] { refuseUnknownOption(matrix, kMatrices); }),
              "unknown option '" + std::string(40, 'a') +
                  "...' (known: Threshold, Sigma, CapDivisor, MinSize, BitDepth, Count)");
    EXPECT_EQ(refusal(Problem::OptionUnknown, [&] { refuseMissingValue(matrix); }),
              "option '" + std::string(40, 'a') + "...' has no value");
}

TEST(ArgumentErrors, EachFailureMapsToOneErrorPerHost) {
    const auto errorOf = [](auto exception) {
        return hostErrorOf(std::make_exception_ptr(exception), "segment rgb");
    };
    const HostError empty = errorOf(std::invalid_argument("photo is empty"));
    EXPECT_EQ(empty.python, PythonError::Value);
    EXPECT_STREQ(empty.octaveId, "segmora:emptyImage");
    const HostError memory = errorOf(std::bad_alloc());
    EXPECT_EQ(memory.python, PythonError::Memory);
    EXPECT_STREQ(memory.octaveId, "segmora:outOfMemory");
    EXPECT_EQ(memory.message, "not enough memory to segment rgb");
    const HostError refused = errorOf(std::invalid_argument("cap divisor must be at least 1"));
    EXPECT_STREQ(refused.octaveId, "segmora:badInput");
    EXPECT_EQ(refused.message, "cannot segment rgb: cap divisor must be at least 1");
    const HostError option = errorOf(ArgumentError(Problem::OptionKind, "Sigma must be"));
    EXPECT_EQ(option.python, PythonError::Type);
    EXPECT_STREQ(option.octaveId, "segmora:badValue");
    EXPECT_STREQ(errorOf(std::runtime_error("x")).octaveId, "segmora:failed");
    EXPECT_EQ(numberText(0.1), "0.1");
    EXPECT_EQ(numberText(-2147483649.0), "-2147483649");
}

}  // namespace
}  // namespace segmora::bindings
