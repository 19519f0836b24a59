#include "photo_job.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <system_error>

namespace segmora {
namespace {

// What runPhotoJob would report for an exception thrown by `thrower`.
std::pair<std::string, bool> reported(const std::function<void()>& thrower) {
    try {
        try {
            thrower();
        } catch (...) {
            rethrowNamingPhoto("a.png");
        }
    } catch (const std::bad_alloc& e) {
        return {e.what(), true};
    } catch (const std::exception& e) {
        return {e.what(), false};
    }
    return {"nothing thrown", false};
}

TEST(RethrowNamingPhoto, EveryFailureNamesThePhotoInWordsOfOurs) {
    struct Case {
        std::string name;
        std::function<void()> thrower;
        std::string message;
        bool outOfMemory;
    };
    const std::vector<Case> cases = {
        {"bad_alloc", [] { throw std::bad_alloc(); }, "out of memory while segmenting 'a.png'",
         true},
        {"OpenCV out of memory",
         [] {
             throw cv::Exception(cv::Error::StsNoMem, "Failed to allocate", "fastMalloc", "x.cpp",
                                 1);
         },
         "out of memory while segmenting 'a.png'", true},
        {"OpenCV assertion",
         [] {
             throw cv::Exception(cv::Error::StsAssert, "depth == CV_8U", "imwrite_", "x.cpp", 7);
         },
         "cannot segment 'a.png': the image library failed in imwrite_", false},
        {"thread start",
         [] {
             throw std::system_error(
                 std::make_error_code(std::errc::resource_unavailable_try_again));
         },
         "cannot segment 'a.png': Resource temporarily unavailable", false},
        {"engine refusal", [] { throw std::invalid_argument("regions differ in size"); },
         "cannot segment 'a.png': regions differ in size", false},
        {"our own error", [] { throw std::runtime_error("cannot read image 'a.png': gone"); },
         "cannot read image 'a.png': gone", false},
    };
    for (const Case& c : cases) {
        const auto [message, outOfMemory] = reported(c.thrower);
        EXPECT_EQ(message, c.message) << c.name;
        EXPECT_EQ(outOfMemory, c.outOfMemory) << c.name;
    }
}

}  // namespace
}  // namespace segmora
