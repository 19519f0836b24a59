#pragma once

#include <gtest/gtest.h>

#include <string>

#include "scratch_files.h"

// A test with a fresh scratch folder of its own, `dir`, named after its suite and removed
// after it.
class ScratchDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir(
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name());
    }
    void TearDown() override { removeScratchDir(dir); }

    std::string dir;
};
