// Test helpers for the base library's fatal errors.
//
// XB_EXPECT_FATAL(statement, regex) runs the statement in a GoogleTest death test in the saver's own
// mode (message on standard output, then abort) and matches the printed message. The child copies
// standard output onto standard error first, because death tests only see standard error.
//
// FatalThrowScope switches XB_FatalError to throwing XB_FATAL_EXCEPTION for one scope, for tests that
// want to check many bad inputs quickly without forking.
#pragma once

#include <gtest/gtest.h>

#include "base/xb_error.h"

namespace tl_test {

// Sends standard output to standard error (used inside death-test children).
void StdoutToStderr();

class FatalThrowScope {
 public:
  FatalThrowScope() : previous_(XB_GetFatalMode()) { XB_SetFatalMode(XB_FatalMode::Throw); }
  ~FatalThrowScope() { XB_SetFatalMode(previous_); }
  FatalThrowScope(const FatalThrowScope&) = delete;
  FatalThrowScope& operator=(const FatalThrowScope&) = delete;

 private:
  XB_FatalMode previous_;
};

}  // namespace tl_test

#define XB_EXPECT_FATAL(statement, regex)     \
  EXPECT_DEATH(                               \
      {                                       \
        XB_SetFatalMode(XB_FatalMode::Abort); \
        ::tl_test::StdoutToStderr();          \
        statement;                            \
      },                                      \
      regex)

// Expects the statement to raise a fatal error whose message contains `fragment` (Throw mode).
#define XB_EXPECT_FATAL_THROW(statement, fragment)                                                   \
  do {                                                                                               \
    ::tl_test::FatalThrowScope xb_fatal_scope_;                                                      \
    try {                                                                                            \
      statement;                                                                                     \
      ADD_FAILURE() << "expected a fatal error containing: " << (fragment);                          \
    } catch (const XB_FATAL_EXCEPTION& e) {                                                          \
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << "message: " << e.what(); \
    }                                                                                                \
  } while (0)
