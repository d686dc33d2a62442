// Assertions on exceptions that check the kind and the exact text, never just "it throws".
//
//   EXPECT_THROW_MSG(parse(""), platform::ValueError, "No candidate urns provided");
//   EXPECT_THROW_SUBSTR(load(path), platform::YAMLError, "line 3");
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#define OSA_EXPECT_THROW_MATCHING(statement, Type, matcher)                        \
  do {                                                                             \
    bool osa_thrown = false;                                                       \
    try {                                                                          \
      statement;                                                                   \
    } catch (const Type& osa_error) {                                              \
      osa_thrown = true;                                                           \
      EXPECT_THAT(std::string(osa_error.what()), matcher);                         \
    }                                                                              \
    EXPECT_TRUE(osa_thrown) << #statement " did not throw " #Type;                 \
  } while (false)

#define EXPECT_THROW_MSG(statement, Type, message) \
  OSA_EXPECT_THROW_MATCHING(statement, Type, ::testing::Eq(message))

#define EXPECT_THROW_SUBSTR(statement, Type, part) \
  OSA_EXPECT_THROW_MATCHING(statement, Type, ::testing::HasSubstr(part))
