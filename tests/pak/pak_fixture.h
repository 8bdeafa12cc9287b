#pragma once
// Shared by the archive tests: a scratch folder that is also the current
// directory, and helpers that read what an open ArchiveFile delivers.

#include <gtest/gtest.h>
#include <string>
#include "base/exceptions.h"
#include "pak/archive_entry.h"
#include "pak/archive_file.h"
#include "tests/support/archive_writer.h"
#include "tests/support/scratch_dir.h"

class PakFolder : public ::testing::Test {
protected:
    ScratchDir scratch;
    CurrentDirectory here{scratch.Path()};

    void SetUp() override { quietOpen = 0; }
    void TearDown() override { quietOpen = 0; }

    void Put(const std::string& name, const std::string& bytes)
    {
        WriteFileBytes(scratch.Path(name), bytes);
    }
};

// Everything the object delivers from its position, Size bytes at most.
inline std::string ReadAll(ArchiveFile& file)
{
    std::string out(file.Size(), '\0');
    const uint32_t got = file.Read(&out[0], uint32_t(out.size()));
    out.resize(got);
    return out;
}


inline PakSpec Pak(uint32_t version, std::vector<PakEntry> entries)
{
    PakSpec spec;
    spec.version = version;
    spec.entries = std::move(entries);
    return spec;
}

// Runs what and reports the message of the OCErrorException it raised, or
// "<no exception>".
template <class F>
std::string ErrorMessage(F what, uint32_t* code = nullptr)
{
    try {
        what();
    } catch (const OCErrorException& e) {
        if (code)
            *code = e.code;
        return e.message.text ? e.message.text : "";
    }
    return "<no exception>";
}

inline const char* InflateFailure() { return "データ解凍に失敗しました。"; }
