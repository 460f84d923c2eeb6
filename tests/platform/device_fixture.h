// A fresh device root in a temporary folder for each test, removed afterwards;
// the program folder is the build's bin folder, where test modules live.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/device.h"

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kestrava-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        ASSERT_TRUE(platform::InitDevice(root_));
        platform::SetProgramFolder(KESTRAVA_BIN_DIR);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    // Host path of a device path below the root, for checks from the host side.
    std::string Host(const std::string& relative) const { return root_ + "/" + relative; }

    std::string root_;
};
