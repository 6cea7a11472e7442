// A fresh machine folder for each test case, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

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

// Polls for what another thread or process brings about. The bound only keeps a broken
// machine from hanging the test: a test waits this way for a thread to be asleep before it
// moves the driven clock, so no outcome depends on how soon the other side gets to run.
template <class F>
bool Eventually(F done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The thread sleeps in a machine-clock wait, having looked at the time and what it waits for
// since the last notification: until something changes, it cannot wake.
bool Asleep(std::thread::id thread);
