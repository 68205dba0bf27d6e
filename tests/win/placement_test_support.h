// Fixture of the placement tests: a run state over a scratch installation
// directory and shared directory, records built in the test, and direct
// system calls to set up and inspect files and registry values without the
// code under test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/file_record.h"
#include "core/memory_stream.h"
#include "installer/run_state.h"

std::string text(const String& s);

FileRecord makeRecord(const char* name, int32_t kind, int32_t fileFlags, const char* contents,
                      FileDateTime time = FileDateTime(), const char* extra = "");

// A payload built record by record, as the archive holds it: name, kind,
// flags, contents, checksum, time (2020-05-06 07:08:09), extra text.
struct PayloadBuilder {
    MemoryStream bytes;
    std::vector<int32_t> sizes;

    void add(const char* name, int32_t kind, int32_t fileFlags, const std::string& contents, const char* extra = "");
    int count() const { return static_cast<int>(sizes.size()); }
};

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
