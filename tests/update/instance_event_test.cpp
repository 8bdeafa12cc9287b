// The instance event both programs create: what each Name gives.

#include <gtest/gtest.h>
#include <string>
#include "update/instance_event.h"

TEST(InstanceEvent, WhatEachNameGives)
{
    const std::string unique = "InstanceEventTest" + std::to_string(GetCurrentProcessId());
    Handle held;
    ASSERT_EQ(0u, CreateInstanceEvent(String().Assign(unique.c_str()), held));
    const struct {
        const char* label;
        std::string name;
        DWORD error;
        bool holds;  // whether the handle is valid afterwards
    } rows[] = {
        {"a new name", unique + "b", 0, true},
        {"a name held now", unique, ERROR_ALREADY_EXISTS, true},
        {"a backslash names an unknown namespace", "Demo\\Tool", ERROR_PATH_NOT_FOUND, false},
    };
    for (const auto& row : rows) {
        Handle event;
        EXPECT_EQ(row.error, CreateInstanceEvent(String().Assign(row.name.c_str()), event)) << row.label;
        EXPECT_EQ(row.holds, event.Valid()) << row.label;
    }
    // Released with its last handle: the name is free again.
    held.Reset();
    Handle again;
    EXPECT_EQ(0u, CreateInstanceEvent(String().Assign(unique.c_str()), again));
}
