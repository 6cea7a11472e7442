// A fresh machine folder for each test case, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/sim/machine.h"

class FreshMachine : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Gives the machine other settings, as `drovan-machine init` does.
    void Reinit(const sim::MachineSettings& settings);

    std::filesystem::path m_folder;
};

// Runs a command, capturing standard output and the exit status.
struct CommandResult {
    int status = -1;
    std::string out;
};
CommandResult RunCommand(const std::string& command);
