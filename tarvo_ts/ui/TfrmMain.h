// The main window of Tarvo_TS: menu bar, tool bar, the four device pages and the status bar. It keeps
// the status bar and the two modified marks, carries the actions and asks about unsaved edits when it
// closes. What is not the frame's own (the link, the settings and their dialogs, the colour scheme, the
// pages' exchanges) it reaches through the hooks below; its host (TMainHost, owned by the window) fills
// them, and tests of the frame alone may replace any of them.
#pragma once

#include "MessageDlg.h"
#include "SerialPort.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class TDockTraffic;
class QMenu;
class QMenuBar;
class QTabWidget;
class QToolBar;
class TCalibrationPage;
class TConfigurationPage;
class TDiagnosticPage;
class TInformationPage;
class TMainHost;

class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    // What the window asks of the rest of the program. An empty query answers "closed" / nothing, an
    // empty command does nothing.
    struct THooks {
        // The link: whether the port is open (the program counts as connected exactly then), the system
        // name of the port in use, and ending the connection.
        std::function<bool()> IsPortOpen;
        std::function<QString()> PortName;
        std::function<void()> BreakConnection;
        // The settings: their dialogs, the search, the indicator style window, the tool bar setting
        // (`ViewToolBar`) and writing the settings file at closing.
        std::function<void()> ShowSettingsDialog;
        std::function<void()> ShowConnectDialog;
        std::function<void()> ShowComPortDialog;
        std::function<void()> FindFirstDevice;
        std::function<void()> ShowIndicatorStyles;
        std::function<void(bool shown)> ToolBarShownChanged;
        std::function<void()> SaveSettings;
        // The colour scheme: gives the window and the program's other windows their colours.
        std::function<void()> ApplyFormColors;
        // The pages: writing the edits to the transducer, or putting back what it stores.
        std::function<void()> WriteInformation;
        std::function<void()> RestoreInformation; // stored fields back into the record, then shown
        std::function<void()> WriteConfiguration;
        std::function<void()> RestoreConfiguration;
    };

    // `port` null: the program's QSerialPort.
    explicit TfrmMain(std::unique_ptr<ISerialPort> port = nullptr, QWidget* parent = nullptr);
    ~TfrmMain() override;

    THooks& Hooks() { return FHooks; }
    // The link, the settings and everything behind the hooks.
    TMainHost& Host() const { return *FHost; }
    // The message dialog every question and message of the window goes to (a silent one until set).
    void SetMessageDialog(TMessageDialog* dialog);
    TMessageDialog& Messages() const { return *FMessages; }
    // The small windows brought to the front with the main window while they show.
    void SetProgressWindow(QWidget* window) { FProgressWindow = window; }
    void SetMessageWindow(QWidget* window) { FMessageWindow = window; }

    // Status panels 0 to 2 from the state of the port; panel 2 is emptied, the marks stay as they are.
    void ShowLinkState();
    // The modified marks; each puts "Mod" into panel 2 for true and empties it for false.
    void SetInfoModified(bool modified);
    void SetConfModified(bool modified);
    bool InfoModified() const { return *FInfoModified; }
    bool ConfModified() const { return *FConfModified; }
    // Where the marks live (the host points them at DeviceData); null: the window's own.
    void SetModifiedMarks(bool* info, bool* conf);
    // Caption, hint and image of the connect action (the idle update sets them again from the port).
    void SetConnectAction(const QString& captionAndHint, int imageIndex);
    // The running operation in panel 3 (empty when idle).
    void ShowOperation(const QString& text);
    // An error message with the "Ok" button.
    void ShowError(const QString& text);
    // Shows or hides the tool bar; the window grows or shrinks by the tool bar's 42 pixels.
    void SetToolBarShown(bool shown);
    bool ToolBarShown() const;
    // The questions about unsaved edits of the two pages (the first two steps of closing).
    void AskSaveInfo();
    void AskSaveConfig();
    // What the idle update does: the connect and tool bar actions follow the port and the tool bar.
    void UpdateActions();
    void ApplyFormColors();

    // The actions' commands.
    void actProgSetExecute();
    void actIndViewExecute();
    void actViewToolBarExecute();
    void actConnectExecute();
    void actFindFirstExecute();
    void actCOMSetExecute();
    void HelpContents1Execute();
    void actAboutExecute();
    QWidget* AboutBox() const { return FAbout; } // null until first shown

    QMenuBar* ActionMainMenuBar1;
    QToolBar* ActionToolBar1;
    QTabWidget* MainPageCtrl;
    TInformationPage* tsInformation;
    TConfigurationPage* tsConfiguration;
    TCalibrationPage* tsCalobration;
    TDiagnosticPage* tsDiagnostic;
    std::array<QLabel*, 4> StatusPanel{};
    // "Обмен": the live list of the frames on the line (menu "Вид").
    TDockTraffic* DockTraffic = nullptr;
    QAction* ActionTraffic = nullptr;

    QAction* actProgSet;
    QAction* FileExit;
    QAction* actIndView;
    QAction* actViewToolBar;
    QAction* actConnect;
    QAction* actFindFirst;
    QAction* actCOMSet;
    QAction* HelpContents1;
    QAction* actAbout;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    void CreateActions();
    void CreateMenusAndToolBar();
    void CreatePages();
    void CreateStatusBar();
    void SetPortPanel(const QString& portName);
    bool PortOpen() const;
    void SetActionLook(QAction* action, const QString& caption, int image);
    // Not connected: says the edits are lost; connected: asks, then writes them or puts back the stored
    // values.
    void AskSave(bool modified, const QString& notSaved, const QString& question,
                 const std::function<void()>& write, const std::function<void()>& restore);

    THooks FHooks;
    std::unique_ptr<TMainHost> FHost;
    TSilentMessageDialog FSilent;
    TMessageDialog* FMessages = &FSilent;
    QPointer<QWidget> FProgressWindow;
    QPointer<QWidget> FMessageWindow;
    QWidget* FAbout = nullptr;
    bool FOwnInfoModified = false;
    bool FOwnConfModified = false;
    bool* FInfoModified = &FOwnInfoModified;
    bool* FConfModified = &FOwnConfModified;
    bool FClosing = false;
};
