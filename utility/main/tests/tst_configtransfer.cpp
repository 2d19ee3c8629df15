#include <QtTest>
#include <memory>

#include "app_state.h"
#include "cfg_link.h"
#include "config_transfer.h"
#include "cpelmardlg.h"
#include "cpelmarserverdlg.h"
#include "store_fixture.h"
#include "tarvik/registry.h"
#include "tarvik/text.h"
#include "temp_root.h"
#include "ui_hook_double.h"

namespace {

const FixtureServer kOld[] = {{"VF-414", "", "", Ipv4(10, 0, 0, 5), 4, 3}};
const FixtureServer kImported[] = {{"NGR-3004", "", "", Ipv4(10, 0, 0, 9), 2, 20},
                                   {"XYZ-389", "", "", Ipv4(10, 0, 0, 10), 8, 30}};

constexpr unsigned kWarn = tarvik::kMbOk | tarvik::kMbIconWarning;
constexpr unsigned kInfo = tarvik::kMbOk | tarvik::kMbIconInformation;

const char kCompleted[] = "Import operation is completed!";

}  // namespace

class TestConfigTransfer : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void importCancelledAtTheQuestion();
  void importCancelledInTheFileDialog();
  void importOutcomes_data();
  void importOutcomes();
  void exportCancelled();
  void exportOutcomes_data();
  void exportOutcomes();
  void xmlExtension_data();
  void xmlExtension();
  void exportedFileImportsBack();

 private:
  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<CPelmarDlg> m_dlg;
};

void TestConfigTransfer::init() {
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  ResetAppState();
  WriteFixtureStore(kOld, 1, kFlagFormatMarker);
  m_dlg = std::make_unique<CPelmarDlg>();
  m_dlg->InitDialog();
  QCOMPARE(App().config.Servers, 1u);
  QVERIFY(!App().restartPending);
}

void TestConfigTransfer::cleanup() {
  SetImportFunction(nullptr);
  SetExportFunction(nullptr);
  m_dlg.reset();
  m_ui.reset();
  m_root.reset();
}

void TestConfigTransfer::importCancelledAtTheQuestion() {
  m_ui->AnswerMessageBoxes({tarvik::kIdCancel});
  m_dlg->ImportConfiguration();
  QCOMPARE(m_ui->messageBoxes.size(), size_t(1));
  const auto& question = m_ui->messageBoxes[0];
  QCOMPARE(question.caption, std::string("Tarvik Utility - Import Configuration from file"));
  QCOMPARE(question.text,
           std::string("This will remove all settings in the utility\nbefore importing new "
                       "settings from the specified configuration file.\n\nAre you sure to "
                       "continue?\n"));
  QCOMPARE(question.flags, unsigned(tarvik::kMbOkCancel | tarvik::kMbIconWarning));
  QVERIFY(m_ui->fileDialogs.empty());
  QCOMPARE(m_dlg->StatusText(), QStringLiteral("Import operation is canceled!"));
}

void TestConfigTransfer::importCancelledInTheFileDialog() {
  bool called = false;
  SetImportFunction([&](const std::string&) {
    called = true;
    return ImportResult{};
  });
  m_ui->CancelFileDialog();
  m_dlg->ImportConfiguration();
  QVERIFY(!called);
  QCOMPARE(m_ui->fileDialogs.size(), size_t(1));
  const tarvik::FileDialogRequest& request = m_ui->fileDialogs[0];
  QVERIFY(!request.save);
  QCOMPARE(request.defaultExtension, std::string("cfg"));
  QCOMPARE(request.initialName, std::string("Quenport"));
  QCOMPARE(request.filter, std::string("XML Configuration Files (*.xml)|*.xml|Configuration "
                                       "Files (*.cfg)|*.cfg|All Files (*.*)|*.*||"));
  QCOMPARE(m_ui->messageBoxes.size(), size_t(2));
  QCOMPARE(m_ui->messageBoxes[1].text, std::string("Import operation is canceled!"));
  QCOMPARE(m_ui->messageBoxes[1].flags, kWarn);
  QCOMPARE(m_dlg->StatusText(), QStringLiteral("Status"));
}

void TestConfigTransfer::importOutcomes_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<uint>("status");
  QTest::addColumn<int>("where");
  QTest::addColumn<int>("driverFailed");
  QTest::addColumn<bool>("storeReplaced");
  QTest::addColumn<QStringList>("texts");
  QTest::addColumn<QList<uint>>("flags");
  QTest::addColumn<QString>("statusBar");

  QTest::newRow("0: completed") << "/d/Quenport.xml" << 0u << 2 << 0 << true
                                << QStringList{kCompleted} << QList<uint>{kInfo} << kCompleted;
  QTest::newRow("high bits are not part of the code")
      << "/d/Quenport.xml" << 0x30000u << 2 << 0 << true << QStringList{kCompleted}
      << QList<uint>{kInfo} << kCompleted;
  QTest::newRow("1: driver not installed")
      << "/d/Quenport.cfg" << 1u << 0 << 1 << true
      << QStringList{"Warning: Driver is not installed!", kCompleted}
      << QList<uint>{kWarn, kInfo} << kCompleted;
  QTest::newRow("5: driver not started, still completed")
      << "/d/Quenport.xml" << 5u << 2 << 1 << true
      << QStringList{"Warning: Driver is not started!\nMay be there is no virtual COM mapping.",
                     kCompleted}
      << QList<uint>{kWarn, kInfo} << kCompleted;
  const QString xmlFail = "ErrorCode:28, Server:3; import operation is canceled!";
  QTest::newRow("failure, .XmL name") << "/d/Plant.XmL" << 28u << 3 << 0 << false
                                      << QStringList{xmlFail} << QList<uint>{kWarn} << xmlFail;
  const QString cfgFail = "ErrorCode:20, LineNum:1; import operation is canceled!";
  QTest::newRow("failure, .cfg name") << "/d/old.cfg" << 20u << 1 << 0 << false
                                      << QStringList{cfgFail} << QList<uint>{kWarn} << cfgFail;
  const QString noExt = "ErrorCode:27, LineNum:0; import operation is canceled!";
  QTest::newRow("failure, name ending xml without a dot")
      << "/d/Quenportxml" << 27u << 0 << 0 << false << QStringList{noExt}
      << QList<uint>{kWarn} << noExt;
  // The store was replaced, then the driver did not stop in time: the
  // program takes the new store in although the import reports a failure.
  const QString driverFail = "ErrorCode:7, Server:2; import operation is canceled!";
  QTest::newRow("driver failure after the store was replaced")
      << "/d/Quenport.xml" << 7u << 2 << 1 << true << QStringList{driverFail}
      << QList<uint>{kWarn} << driverFail;
}

void TestConfigTransfer::importOutcomes() {
  QFETCH(QString, path);
  QFETCH(uint, status);
  QFETCH(int, where);
  QFETCH(int, driverFailed);
  QFETCH(bool, storeReplaced);
  QFETCH(QStringList, texts);
  QFETCH(QList<uint>, flags);
  QFETCH(QString, statusBar);

  std::string importedPath;
  int waitDepthDuringImport = 0;
  SetImportFunction([&](const std::string& chosen) {
    importedPath = chosen;
    waitDepthDuringImport = m_ui->waitCursorDepth;
    if (storeReplaced) {
      tarvik::RegKey parameter;
      parameter.Create(kParameterKey);
      parameter.DeleteTree("Server1");
      WriteFixtureStore(kImported, 2, kFlagFormatMarker);
    }
    ImportResult result;
    result.status = status;
    result.where = static_cast<uint16_t>(where);
    result.driverFailed = static_cast<uint16_t>(driverFailed);
    return result;
  });
  m_ui->AnswerFileDialog(path.toStdString());
  m_dlg->ImportConfiguration();

  QCOMPARE(QString::fromStdString(importedPath), path);
  QCOMPARE(waitDepthDuringImport, 1);
  QCOMPARE(m_ui->waitCursorDepth, 0);
  QCOMPARE(m_ui->messageBoxes.size(), size_t(texts.size() + 1));
  for (int i = 0; i < texts.size(); ++i) {
    QCOMPARE(QString::fromStdString(m_ui->messageBoxes[i + 1].text), texts[i]);
    QCOMPARE(m_ui->messageBoxes[i + 1].flags, flags[i]);
    QCOMPARE(m_ui->messageBoxes[i + 1].caption, std::string("Tarvik Utility"));
  }
  QCOMPARE(m_dlg->StatusText(), statusBar);
  // The set agrees with the store afterwards, and a replaced store means the
  // driver has to be restarted.
  QCOMPARE(App().config.Servers, storeReplaced ? 2u : 1u);
  QCOMPARE(QByteArray(App().config.Records[0].ServerName),
           QByteArray(storeReplaced ? "NGR-3004" : "VF-414"));
  QCOMPARE(App().restartPending, storeReplaced);
}

void TestConfigTransfer::exportCancelled() {
  tarvik::CopyText(App().config.Records[0].AliasName, "Line 4");
  m_ui->CancelFileDialog();
  m_dlg->ExportConfiguration();
  // The set went to the store before the dialog opened.
  QCOMPARE(StoredString("Server1", "AliasName"), std::string("Line 4"));
  QCOMPARE(m_ui->fileDialogs.size(), size_t(1));
  const tarvik::FileDialogRequest& request = m_ui->fileDialogs[0];
  QVERIFY(request.save);
  QCOMPARE(request.filter, std::string("XML Configuration Files (*.xml)|*.xml||"));
  QCOMPARE(request.defaultExtension, std::string("xml"));
  QCOMPARE(request.initialName, std::string("Quenport"));
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{"Export operation is canceled!"});
  QCOMPARE(m_ui->messageBoxes[0].flags, kWarn);
  QCOMPARE(m_dlg->StatusText(), QStringLiteral("Export operation is canceled!"));
}

void TestConfigTransfer::exportOutcomes_data() {
  QTest::addColumn<uint>("status");
  QTest::addColumn<QString>("text");
  QTest::addColumn<uint>("flags");
  QTest::newRow("0") << 0u << "Exporting operation is completed!" << kInfo;
  QTest::newRow("high bits only") << 0x10000u << "Exporting operation is completed!" << kInfo;
  QTest::newRow("2: no server") << 2u << "Error:2, Configuration exporting failed!" << kWarn;
  QTest::newRow("11: cannot write") << 11u << "Error:11, Configuration exporting failed!"
                                    << kWarn;
}

void TestConfigTransfer::exportOutcomes() {
  QFETCH(uint, status);
  QFETCH(QString, text);
  QFETCH(uint, flags);
  tarvik::CopyText(App().config.Records[0].AliasName, "Line 4");
  std::string aliasSeenByExport;
  std::string exportedPath;
  SetExportFunction([&](const std::string& path) {
    exportedPath = path;
    aliasSeenByExport = StoredString("Server1", "AliasName");
    return uint32_t(status);
  });
  m_ui->AnswerFileDialog("/d/Quenport.xml");
  m_dlg->ExportConfiguration();
  QCOMPARE(exportedPath, std::string("/d/Quenport.xml"));
  QCOMPARE(aliasSeenByExport, std::string("Line 4"));
  QCOMPARE(m_ui->messageBoxes.size(), size_t(1));
  QCOMPARE(QString::fromStdString(m_ui->messageBoxes[0].text), text);
  QCOMPARE(m_ui->messageBoxes[0].flags, flags);
  QCOMPARE(m_dlg->StatusText(), text);
  QCOMPARE(m_ui->waitCursorDepth, 0);
  QCOMPARE(m_ui->waitCursorBegins, 1);
}

void TestConfigTransfer::xmlExtension_data() {
  QTest::addColumn<QByteArray>("path");
  QTest::addColumn<bool>("xml");
  QTest::newRow("lower") << QByteArray("a.xml") << true;
  QTest::newRow("mixed") << QByteArray("/x/Quenport.XmL") << true;
  QTest::newRow("cfg") << QByteArray("a.cfg") << false;
  QTest::newRow("just .xml") << QByteArray(".xml") << true;
  QTest::newRow("too short") << QByteArray("xml") << false;
  QTest::newRow("xml inside") << QByteArray("a.xml.cfg") << false;
}

void TestConfigTransfer::xmlExtension() {
  QFETCH(QByteArray, path);
  QFETCH(bool, xml);
  QCOMPARE(HasXmlExtension(path.constData()), xml);
}

// Through the configuration library itself: what is exported comes back in.
void TestConfigTransfer::exportedFileImportsBack() {
  const std::string file = m_root->Path() + "/Quenport.xml";
  tarvik::CopyText(App().config.Records[0].AliasName, "Line 4");
  m_ui->AnswerFileDialog(file);
  m_dlg->ExportConfiguration();
  QCOMPARE(m_ui->Texts().back(), std::string("Exporting operation is completed!"));
  QVERIFY(QFile::exists(QString::fromStdString(file)));

  // Another configuration in between, then the file replaces it.
  WriteFixtureStore(kImported, 2, kFlagFormatMarker);
  m_dlg->ServerPane()->Load();
  QCOMPARE(App().config.Servers, 2u);
  m_ui->AnswerFileDialog(file);
  m_dlg->ImportConfiguration();
  QCOMPARE(m_ui->Texts().back(), std::string(kCompleted));
  QCOMPARE(App().config.Servers, 1u);
  QCOMPARE(QByteArray(App().config.Records[0].ServerName), QByteArray("VF-414"));
  QCOMPARE(QByteArray(App().config.Records[0].AliasName), QByteArray("Line 4"));
  QCOMPARE(StoredDword(nullptr, "Servers"), 1u);
  QVERIFY(App().restartPending);
}

QTEST_MAIN(TestConfigTransfer)
#include "tst_configtransfer.moc"
