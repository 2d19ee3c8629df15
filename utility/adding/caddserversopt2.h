// Page "Port Options" of the add-servers dialog: purge, write buffer and
// its auto-flush interval, given to every port the run maps.
#pragma once
#include <QWidget>

#include "add_choices.h"

class QCheckBox;
class QLineEdit;

class CAddServersOpt2 : public QWidget {
  Q_OBJECT
 public:
  explicit CAddServersOpt2(const AddServersChoices& defaults, QWidget* parent = nullptr);

  // Copies the values into *choices; an interval that is not a number
  // reads as -1, so that its check fails.
  void Take(AddServersChoices* choices) const;

  QCheckBox* DisablePurgeCheck() const { return m_purge; }
  QCheckBox* WriteBufferCheck() const { return m_writeBuffer; }
  QLineEdit* AutoFlushEdit() const { return m_autoFlush; }

 private:
  QCheckBox* m_purge;
  QCheckBox* m_writeBuffer;
  QLineEdit* m_autoFlush;
};
