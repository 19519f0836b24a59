#include "argument_errors.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>

#include "segmora/segmora.h"

namespace segmora::bindings {

namespace {

struct Entry {
    Problem problem;
    PythonError python;
    const char* octaveId;
};

// What each host raises for each problem.
constexpr Entry kTable[] = {
    {Problem::PhotoKind, PythonError::Type, "segmora:badType"},
    {Problem::PhotoShape, PythonError::Value, "segmora:badShape"},
    {Problem::PhotoEmpty, PythonError::Value, "segmora:emptyImage"},
    {Problem::PhotoTooLarge, PythonError::Value, "segmora:tooLarge"},
    {Problem::PhotoValue, PythonError::Value, "segmora:badPixel"},
    {Problem::SizeMismatch, PythonError::Value, "segmora:sizeMismatch"},
    {Problem::RegionsKind, PythonError::Type, "segmora:badType"},
    {Problem::RegionsShape, PythonError::Value, "segmora:sizeMismatch"},
    {Problem::RegionValue, PythonError::Value, "segmora:badRegion"},
    {Problem::LabelsKind, PythonError::Type, "segmora:badType"},
    {Problem::LabelsShape, PythonError::Value, "segmora:badShape"},
    {Problem::LabelValue, PythonError::Value, "segmora:badLabel"},
    {Problem::OptionUnknown, PythonError::Type, "segmora:badOption"},
    {Problem::OptionKind, PythonError::Type, "segmora:badValue"},
    {Problem::OptionRange, PythonError::Value, "segmora:badValue"},
    {Problem::OutOfMemory, PythonError::Memory, "segmora:outOfMemory"},
    {Problem::EngineRefused, PythonError::Value, "segmora:badInput"},
    {Problem::Failed, PythonError::Runtime, "segmora:failed"},
};

HostError errorFor(Problem problem, std::string message) {
    for (const Entry& entry : kTable) {
        if (entry.problem == problem) return HostError{entry.python, entry.octaveId, message};
    }
    return HostError{PythonError::Runtime, "segmora:failed", message};
}

[[noreturn]] void refuse(Problem problem, const std::string& message) {
    throw ArgumentError(problem, message);
}

std::string photoKinds(const HostStyle& style) {
    return std::string("uint8, uint16, ") + style.boolName + ", " + style.float32Name + " or " +
           style.float64Name;
}

// What region ids and labels may be, in words.
std::string idKinds(const HostStyle& style) {
    return std::string("integers, ") + style.boolName + " or whole " + style.float32Name + "/" +
           style.float64Name + " numbers";
}

// The range of each knob, in words, as "must be ..." continues.
std::string rangeWords(Knob knob) {
    switch (knob) {
        case Knob::Threshold:
            return "a finite number of at least 0";
        case Knob::Sigma:
            return "a number from 0 to " + numberText(kMaxSigma);
        case Knob::CapDivisor:
            return "a whole number of at least 1";
        case Knob::MinSize:
            return "a whole number of at least 0";
        case Knob::Threads:
            return "a whole number from 0 to 64";
        case Knob::BitDepth:
            return "a whole number from 8 to 16";
        case Knob::Count:
            return "a whole number of at least 1";
    }
    return "valid";
}

// The range of a knob whose value is a number above its largest: the words say that
// largest (a float's, or an int's for whole numbers), which "at least" alone hides.
std::string rangeWordsAbove(Knob knob, double value) {
    const double largestFloat = std::numeric_limits<float>::max();
    const double largestInt = std::numeric_limits<int>::max();
    if (knob == Knob::Threshold && std::isfinite(value) && value > largestFloat) {
        return "a number from 0 to " + numberText(largestFloat) + " (the largest float)";
    }
    if ((knob == Knob::CapDivisor || knob == Knob::MinSize || knob == Knob::Count) &&
        std::isfinite(value) && value > largestInt) {
        return std::string("a whole number from ") + (knob == Knob::MinSize ? "0" : "1") +
               " to " + numberText(largestInt);
    }
    return rangeWords(knob);
}

// A name as echoed in a message: at most kEchoedName characters, then "...".
constexpr size_t kEchoedName = 40;
std::string echoedName(const std::string& name) {
    return name.size() > kEchoedName ? name.substr(0, kEchoedName) + "..." : name;
}

}  // namespace

std::string numberText(double value) {
    char text[32];
    if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < 1e20) {
        std::snprintf(text, sizeof text, "%.0f", value);
    } else {
        std::snprintf(text, sizeof text, "%.17g", value);
        // The shortest text that reads back as the same double.
        for (int digits = 1; digits < 17; ++digits) {
            char shorter[32];
            std::snprintf(shorter, sizeof shorter, "%.*g", digits, value);
            if (std::strtod(shorter, nullptr) == value) return shorter;
        }
    }
    return text;
}

HostError hostErrorOf(std::exception_ptr failure, const std::string& what) {
    try {
        std::rethrow_exception(failure);
    } catch (const ArgumentError& e) {
        return errorFor(e.problem, e.what());
    } catch (const std::bad_alloc&) {
        return errorFor(Problem::OutOfMemory, "not enough memory to " + what);
    } catch (const std::invalid_argument& e) {
        if (std::string(e.what()) == "photo is empty") {
            return errorFor(Problem::PhotoEmpty, "rgb must not be empty");
        }
        return errorFor(Problem::EngineRefused, "cannot " + what + ": " + e.what());
    } catch (const std::exception& e) {
        return errorFor(Problem::Failed, "failed to " + what + ": " + e.what());
    } catch (...) {
        return errorFor(Problem::Failed, "failed to " + what);
    }
}

void refusePhotoKind(const std::string& kind, const HostStyle& style) {
    refuse(Problem::PhotoKind, "rgb must be " + photoKinds(style) + ", not " + kind);
}

void refusePhotoShape(const std::vector<std::ptrdiff_t>& shape, const HostStyle& style) {
    refuse(Problem::PhotoShape, std::string("rgb must have shape ") + style.photoShapes + ", not " +
                                    shapeText(shape, style));
}

void refusePhotoEmpty(const std::vector<std::ptrdiff_t>& shape, const HostStyle& style) {
    refuse(Problem::PhotoEmpty, "rgb must not be empty, its shape is " + shapeText(shape, style));
}

void refusePhotoTooLarge(const std::vector<std::ptrdiff_t>& shape, const HostStyle& style,
                         const std::string& name) {
    refuse(Problem::PhotoTooLarge, name + " of shape " + shapeText(shape, style) +
                                       " has too many pixels (" + pixelLimitText() + ")");
}

void refusePhotoValue(const std::vector<std::ptrdiff_t>& position, const std::string& value,
                      const HostStyle& style) {
    refuse(Problem::PhotoValue, "rgb" + positionText(position, style) + " = " + value +
                                    " is outside 0..1 (floating-point photos hold 0 to 1)");
}

void refuseRegionsKind(const std::string& kind, const HostStyle& style, const std::string& name) {
    refuse(Problem::RegionsKind, name + " must hold integers, " + style.boolName + " or whole " +
                                     style.float32Name + "/" + style.float64Name +
                                     " numbers, not " + kind);
}

void refuseRegionsShape(const std::vector<std::ptrdiff_t>& expected,
                        const std::vector<std::ptrdiff_t>& shape, const HostStyle& style) {
    // A map that is not two-dimensional is a fault of its shape (segmora:badShape) in every
    // function; one of another height or width than its partner, of its size.
    refuse(shape.size() != 2 ? Problem::LabelsShape : Problem::RegionsShape,
           "regions must have shape " + shapeText(expected, style) + " like rgb, not " +
               shapeText(shape, style));
}

void refuseRegionValue(const std::vector<std::ptrdiff_t>& position, const std::string& value,
                       const HostStyle& style, const std::string& name) {
    refuse(Problem::RegionValue, name + positionText(position, style) + " = " + value +
                                     " is not a whole number in the int32 range");
}

void refuseLabelsKind(const std::string& kind, const HostStyle& style) {
    refuse(Problem::LabelsKind, "labels must hold " + idKinds(style) + ", not " + kind);
}

void refuseLabelsShape(const std::vector<std::ptrdiff_t>& shape, const HostStyle& style) {
    refuse(Problem::LabelsShape, std::string("labels must have shape ") +
                                     (style.shapeAsTuple ? "(H, W)" : "H-by-W") + ", not " +
                                     shapeText(shape, style));
}

void refusePhotoSize(const std::vector<std::ptrdiff_t>& labels,
                     const std::vector<std::ptrdiff_t>& shape, const HostStyle& style) {
    std::vector<std::ptrdiff_t> planes = labels;
    planes.push_back(-1);
    std::string withChannels = shapeText(planes, style);
    withChannels.replace(withChannels.rfind("-1"), 2, "C");
    refuse(Problem::SizeMismatch, "rgb must have shape " + shapeText(labels, style) + " or " +
                                      withChannels + " like labels, not " +
                                      shapeText(shape, style));
}

void refuseLabelValue(const std::vector<std::ptrdiff_t>& position, const std::string& value,
                      const HostStyle& style) {
    refuse(Problem::LabelValue, "labels" + positionText(position, style) + " = " + value +
                                    " is not a whole number from 0 to 2^31 - 1");
}

void refuseLabelMapShape(const std::string& name, const std::vector<std::ptrdiff_t>& shape,
                         const std::vector<std::ptrdiff_t>& like, const HostStyle& style) {
    // A map of more dimensions is a fault of its shape, as for regions; a photo may have three.
    const bool notAMap = like.empty() || (shape.size() != 2 && name != "rgb");
    refuse(notAMap ? Problem::LabelsShape : Problem::RegionsShape,
           like.empty() ? name + " must be two-dimensional, not of shape " + shapeText(shape, style)
                        : name + " must have shape " + shapeText(like, style) +
                              " like the labels, not " + shapeText(shape, style));
}

void refuseToleranceKind(const std::string& kind) {
    refuse(Problem::OptionKind, "tolerance must be a real number, not " + kind);
}

void refuseTolerance(double value) {
    refuse(Problem::OptionRange,
           "tolerance must be a whole number from 0 to 2^31 - 1, not " + numberText(value));
}

void refuseUnknownOption(const std::string& name, const HostStyle& style) {
    std::string known;
    for (const Knob knob :
         {Knob::Threshold, Knob::Sigma, Knob::CapDivisor, Knob::MinSize, Knob::BitDepth,
          Knob::Count}) {
        known += (known.empty() ? "" : ", ") + std::string(knobName(knob, style));
    }
    refuse(Problem::OptionUnknown,
           "unknown option '" + echoedName(name) + "' (known: " + known + ")");
}

void refuseOptionName(const std::string& kind, int argument) {
    refuse(Problem::OptionUnknown, "option names must be text, not " + kind + " (argument " +
                                       std::to_string(argument) + ")");
}

void refuseMissingValue(const std::string& name) {
    refuse(Problem::OptionUnknown, "option '" + echoedName(name) + "' has no value");
}

void refuseOptionKind(Knob knob, const std::string& kind, const HostStyle& style) {
    refuse(Problem::OptionKind,
           std::string(knobName(knob, style)) + " must be a real number, not " + kind);
}

void refuseOptionRange(Knob knob, double value, const HostStyle& style) {
    refuse(Problem::OptionRange, std::string(knobName(knob, style)) + " must be " +
                                     rangeWordsAbove(knob, value) + ", not " + numberText(value));
}

}  // namespace segmora::bindings
