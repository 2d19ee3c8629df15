// The input box: one line of text or one number under a prompt. OK takes the
// edit's content, Cancel leaves the caller's value as it was.
#pragma once
#include <cstddef>
#include <cstdint>

#include <QDialog>

class QLabel;
class QLineEdit;

class CInputBox : public QDialog {
  Q_OBJECT
 public:
  explicit CInputBox(QWidget* parent = nullptr);

  // Shows the prompt with text in the edit. OK: text becomes the edit's
  // content, cut to fit text[size] (the edit takes no more than fits), and
  // the result is 0. Cancel: text is unchanged, the result is -1.
  int InputText(const char* prompt, char* text, size_t size);
  // The same for a number shown as "%d". OK reads the edit as a decimal
  // integer (ParseLeadingInt); Cancel leaves *number unchanged.
  int InputNumber(const char* prompt, int32_t* number);

  QLineEdit* Edit() const { return m_edit; }
  QLabel* Prompt() const { return m_prompt; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* m_prompt;
  QLineEdit* m_edit;
};

// Leading blanks skipped, an optional sign, then the leading decimal digits;
// 0 when there are none. A number beyond the 32-bit range is held at its end.
int32_t ParseLeadingInt(const char* text);
