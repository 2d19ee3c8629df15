// Page "IP Range" of the add-servers dialog: the server name, the address
// range with the .0/.254/.255 choices, the two remembered check boxes, and
// the first COM number with the two mapping choices.
#pragma once
#include <QWidget>

#include "add_choices.h"
#include "free_com_list.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class CAddServerIP : public QWidget {
  Q_OBJECT
 public:
  // The drop-down list offers "UnMap" and the free numbers up to maxVcom.
  CAddServerIP(const AddServersChoices& defaults, const FreeComList& freeComs, uint32_t maxVcom,
               QWidget* parent = nullptr);

  // Copies this page's values into *choices (texts untrimmed).
  void Take(AddServersChoices* choices) const;

  QLineEdit* NameEdit() const { return m_name; }
  QLineEdit* StartEdit() const { return m_start; }
  QLineEdit* EndEdit() const { return m_end; }
  QCheckBox* NetCheck() const { return m_net; }
  QCheckBox* GatewayCheck() const { return m_gateway; }
  QCheckBox* BroadcastCheck() const { return m_broadcast; }
  QCheckBox* GetNameCheck() const { return m_getName; }
  QCheckBox* SkipDuplicatesCheck() const { return m_skipDuplicates; }
  QComboBox* ComList() const { return m_com; }
  QCheckBox* FixedBaudCheck() const { return m_fixedBaud; }
  QCheckBox* MapIoCheck() const { return m_mapIo; }

 private:
  QLineEdit* m_name;
  QLineEdit* m_start;
  QLineEdit* m_end;
  QCheckBox* m_net;
  QCheckBox* m_gateway;
  QCheckBox* m_broadcast;
  QCheckBox* m_getName;
  QCheckBox* m_skipDuplicates;
  QComboBox* m_com;
  QCheckBox* m_fixedBaud;
  QCheckBox* m_mapIo;
};
