#include "platform/x11/x11_errors.h"

#include <gtest/gtest.h>

namespace {

// X protocol numbers: errors BadValue 2, BadWindow 3, BadMatch 8, BadDrawable 9; requests
// GetGeometry 14, PutImage 72, an extension's major code 130.
constexpr unsigned long kWindow = 0x1200007;

TEST(XErrors, OnlyTheWindowRefusedAsWindowOrDrawableMeansItIsGone) {
  struct Row {
    int error, request;
    unsigned long resource, window;
    XErrorAnswer answer;
  };
  const Row rows[] = {
      {3, 14, kWindow, kWindow, X_ERROR_WINDOW_GONE},
      {9, 130, kWindow, kWindow, X_ERROR_WINDOW_GONE},
      {3, 14, kWindow + 1, kWindow, X_ERROR_REPORT},  // another window's id
      {8, 72, kWindow, kWindow, X_ERROR_REPORT},      // the window exists, the request is wrong
      {3, 72, 0, 0, X_ERROR_REPORT},                  // no window yet (or any more)
  };
  for (const Row& row : rows) {
    XErrorLog log;
    EXPECT_EQ(answer_x_error(log, row.error, row.request, row.resource, row.window), row.answer)
        << "error " << row.error << " about " << row.resource;
  }
}

TEST(XErrors, EachKindIsReportedOnceAndALongRunOfKindsStaysBounded) {
  XErrorLog log;
  EXPECT_EQ(answer_x_error(log, 8, 72, 5, kWindow), X_ERROR_REPORT);
  EXPECT_EQ(answer_x_error(log, 8, 72, 6, kWindow), X_ERROR_QUIET);   // same kind, other resource
  EXPECT_EQ(answer_x_error(log, 8, 73, 5, kWindow), X_ERROR_REPORT);  // another request
  EXPECT_EQ(answer_x_error(log, 2, 72, 5, kWindow), X_ERROR_REPORT);  // another error
  for (int request = 100; request < 100 + XErrorLog::kKinds; ++request)
    answer_x_error(log, 2, request, 5, kWindow);
  EXPECT_EQ(log.count, XErrorLog::kKinds);
  EXPECT_EQ(answer_x_error(log, 2, 250, 5, kWindow), X_ERROR_QUIET);
  // The window's own end is never silenced by a full log.
  EXPECT_EQ(answer_x_error(log, 3, 14, kWindow, kWindow), X_ERROR_WINDOW_GONE);
}

}  // namespace
