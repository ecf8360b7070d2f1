#pragma once

#include <QString>
#include <optional>

class QLineEdit;
class QWidget;

namespace korvane {

inline constexpr char kInvalidInputMessage[] = "Invalid Input Values!";

// An edit's text as the dialogs read it: at most 127 characters, the rest of a
// 128-byte buffer being its terminator.
inline constexpr int kEditTextLimit = 127;
QString editText(const QLineEdit* edit, int limit = kEditTextLimit);

// The number an edit's first `limit` characters begin with, read like scanf's
// " %f " in the classic locale. Nothing for text without a leading number, and
// for infinity and NaN, which no range, track value or WITS item can use.
std::optional<float> readNumber(const QLineEdit* edit, int limit = kEditTextLimit);

// A value as the pages and dialogs show it: "%.1f" in the classic locale.
QString oneDecimal(float value);

// Lets each right-aligned caption whose text is wider than its rectangle (the
// desktop's font may run wider than the one the layout was made for) grow to
// the left, where such captions have room, instead of losing its first letters.
void fitRightAlignedCaptions(QWidget* dialog);

// Opens a modal dialog 10, 10 dialog units from its owner's top-left corner.
void placeNearOwner(QWidget* dialog, const QWidget* owner);

// A modal warning box with an OK button, captioned "Korvane".
void showWarning(QWidget* owner, const char* text);

}  // namespace korvane
