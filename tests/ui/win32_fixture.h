// Tests on real windows: the common controls the templates use, and the Win32 backend as the
// framework's for the length of each test.
#pragma once

#include <gtest/gtest.h>

#include "platform/ui/afx.h"
#include "platform/ui/win32/win32_backend.h"

class Win32BackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES};
        InitCommonControlsEx(&controls);
        drovan::ui::SetBackend(&backend);
    }
    void TearDown() override { drovan::ui::SetBackend(nullptr); }

    drovan::ui::win32::Win32Backend backend;
};
