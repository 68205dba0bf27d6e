// Fixture of the placement tests: a run state over a scratch installation
// directory and shared directory, records built in the test, and direct
// system calls to set up and inspect files and registry values without the
// code under test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "archive/file_record.h"
#include "installer/run_state.h"

std::string text(const String& s);

FileRecord makeRecord(const char* name, int32_t kind, int32_t fileFlags, const char* contents,
                      FileDateTime time = FileDateTime(), const char* extra = "");

// Last-write times as local time, straight through the system.
void setLocalTime(const std::string& path, const FileDateTime& time);
FileDateTime localTimeOf(const std::string& path);
std::string timeText(const FileDateTime& time);

// "REG_DWORD    0x2" as Wine's reg.exe prints the value, or "" when reg.exe
// finds no such value.
std::string regValue(const std::string& key, const std::string& name);

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    RunState state;
    std::string root;     // the case's scratch folder
    std::string install;  // root\inst
    std::string shared;   // root\shared
};
