#include <QtTest>
#include <sys/stat.h>

#include "app_texts.h"
#include "tarvik/registry.h"
#include "tarvik/state_root.h"
#include "temp_root.h"
#include "ui_hook_double.h"
#include "ui_options.h"

namespace {

tarvik::RegKey ParameterKey() {
  tarvik::RegKey key;
  key.Create(kParameterKey);
  return key;
}

bool HasValue(const char* name) {
  tarvik::RegKey key;
  if (key.Open(kParameterKey, tarvik::RegAccess::kRead) != 0) return false;
  uint32_t type = 0, length = 0;
  return key.QueryValue(name, &type, nullptr, &length) == 0;
}

uint32_t Dword(const char* name) {
  tarvik::RegKey key;
  key.Open(kParameterKey, tarvik::RegAccess::kRead);
  uint32_t value = 0xDEAD;
  key.QueryDword(name, &value);
  return value;
}

}  // namespace

class TestUiOptions : public QObject {
  Q_OBJECT
 private slots:
  void defaultsWithoutTheKey();
  void storedValuesAreRead();
  void aStringValueTakesTheDefault();
  void maxVcomLimits_data();
  void maxVcomLimits();
  void nothingChangedWritesNothing();
  void onlyChangedValuesAreWritten();
  void aReadOnlyStoreIsSkippedSilently();
};

void TestUiOptions::defaultsWithoutTheKey() {
  tarvik::TempStateRoot root;
  UiOptions options{};
  ReadUiOptions(&options);
  QCOMPARE(options.chkSvr, 1u);
  QCOMPARE(options.chkDup, 1u);
  QCOMPARE(options.chkAnc, 1u);
  QCOMPARE(options.maxVcom, 512u);
}

void TestUiOptions::storedValuesAreRead() {
  tarvik::TempStateRoot root;
  {
    tarvik::RegKey key = ParameterKey();
    key.SetDword("UIChkSvr", 0);
    key.SetDword("UIChkDup", 0);
    key.SetDword("UIChkANC", 0);
    key.SetDword("MaxVCOM", 1000);
  }
  UiOptions options{};
  ReadUiOptions(&options);
  QCOMPARE(options.chkSvr, 0u);
  QCOMPARE(options.chkSvrRead, 0u);
  QCOMPARE(options.chkDup, 0u);
  QCOMPARE(options.chkAnc, 0u);
  QCOMPARE(options.maxVcom, 1000u);
}

void TestUiOptions::aStringValueTakesTheDefault() {
  tarvik::TempStateRoot root;
  ParameterKey().SetString("UIChkDup", "0");
  UiOptions options{};
  ReadUiOptions(&options);
  QCOMPARE(options.chkDup, 1u);
}

void TestUiOptions::maxVcomLimits_data() {
  QTest::addColumn<uint>("stored");
  QTest::addColumn<uint>("read");
  QTest::newRow("255 below the range") << 255u << 512u;
  QTest::newRow("256 lowest kept") << 256u << 256u;
  QTest::newRow("4095 highest kept") << 4095u << 4095u;
  QTest::newRow("4096 above the range") << 4096u << 512u;
  QTest::newRow("0") << 0u << 512u;
}

void TestUiOptions::maxVcomLimits() {
  QFETCH(uint, stored);
  QFETCH(uint, read);
  tarvik::TempStateRoot root;
  ParameterKey().SetDword("MaxVCOM", stored);
  UiOptions options{};
  ReadUiOptions(&options);
  QCOMPARE(options.maxVcom, read);
}

void TestUiOptions::nothingChangedWritesNothing() {
  tarvik::TempStateRoot root;
  UiOptions options{};
  ReadUiOptions(&options);
  QVERIFY(WriteBackUiOptions(&options));
  tarvik::RegKey key;
  QCOMPARE(key.Open(kParameterKey, tarvik::RegAccess::kRead), tarvik::LSTATUS(2));
}

void TestUiOptions::onlyChangedValuesAreWritten() {
  tarvik::TempStateRoot root;
  UiHookDouble ui;
  ParameterKey().SetString("UIChkDup", "text");  // read as the default 1
  UiOptions options{};
  ReadUiOptions(&options);
  options.chkSvr = 0;
  options.chkAnc = 0;
  QVERIFY(WriteBackUiOptions(&options));
  QCOMPARE(Dword("UIChkSvr"), 0u);
  QCOMPARE(Dword("UIChkANC"), 0u);
  // UIChkDup did not change, so its REG_SZ stays as it was.
  tarvik::RegKey key;
  key.Open(kParameterKey, tarvik::RegAccess::kRead);
  uint32_t type = 0, length = 0;
  QCOMPARE(key.QueryValue("UIChkDup", &type, nullptr, &length), tarvik::LSTATUS(0));
  QCOMPARE(type, tarvik::kRegSz);
  QVERIFY(!HasValue("MaxVCOM"));
  QVERIFY(ui.messageBoxes.empty());
}

void TestUiOptions::aReadOnlyStoreIsSkippedSilently() {
  tarvik::TempStateRoot root;
  UiHookDouble ui;
  ParameterKey().SetDword("UIChkSvr", 1);
  tarvik::RegCloseStore();
  for (const char* suffix : {"", "-wal", "-shm"})
    ::chmod((tarvik::RegistryPath() + suffix).c_str(), 0444);
  UiOptions options{};
  ReadUiOptions(&options);
  QCOMPARE(options.chkSvr, 1u);
  options.chkSvr = 0;
  WriteBackUiOptions(&options);
  QVERIFY(ui.messageBoxes.empty());
  QCOMPARE(Dword("UIChkSvr"), 1u);
}

QTEST_MAIN(TestUiOptions)
#include "tst_uioptions.moc"
