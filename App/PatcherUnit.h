// The patch and restore procedures behind the dialog's "Patch" and "Restore" buttons, and the
// failure wrapper its handlers share.
//
// A patch keeps the pristine archive once as <archive>.original.pck (a second name of the same
// file, or the file moved there where the file system has no hard links) and rebuilds the archive
// from it on every run: each instructed entry is kept under its ".original" name and gets its new
// content from the data folder. Only an archive that opens is kept: one that does not fails the
// first patch, naming the archive and why, before anything is linked or moved; a backup that
// another copy of the program made meanwhile is taken when it opens as an archive. The new archive
// is written to a temporary file beside the archive, flushed to disk and only then moved over the
// archive (the folder flushed after the backup and after the move), so a failed, interrupted or
// killed patch leaves the archive path as it was. Temporary files that killed runs left are
// removed by the next patch. Every step is logged; failures reach only the log.
#pragma once

#include "App/PwPatchEntry.h"
#include "Components/StrUtils.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/Vcl/SysUtils.h"
#include "Platform/Win32/Windows.h"

#include <cstdint>
#include <functional>

class AppLogger;
class XStream;

// Save progress for the dialog's progress bar: wParam = percent, lParam = maximum (100).
constexpr UINT WM_PACKAGE_PROGRESS = 0xD13;

// The archive tailer's description unless the settings name another.
extern const char PatcherDefaultDescription[];

namespace Patcher
{
// The source lines the handlers' failure entries name ("[ERROR] PatcherUnit.cpp( 247 ): ...").
constexpr int LineFormCreate = 121;
constexpr int LineFormClose = 163;
constexpr int LinePatch = 247;
constexpr int LineRestore = 268;

// Runs `work` inside the handlers' failure wrapper and returns true when it ran to the end. A
// failure becomes one log entry, then the log is flushed; nothing is shown:
// - XException: its message;
// - another Exception: "[ERROR] PatcherUnit.cpp( <line> ): " and its message;
// - a plain narrow or wide text (a stream's "Failed opening file."): "ERROR: Unknown error. " and
//   the text;
// - anything else: "ERROR: Unknown error.".
bool RunLogged(AppLogger& log, int line, const std::function<void()>& work);

struct PatchJob
{
    // The archive, as the dialog's edit box holds it.
    XString PackageFile;
    // The folder whose "Data\" holds PatchData.xml and the models; empty: the program's folder.
    XString ProgramFolder;
    // PwPatchEntryCount instructions; the list ends at the first empty FileName.
    const PwPatchEntry* Entries = PwPatchEntries;
    int CompressionLevel = 1;
    AnsiString Description = PatcherDefaultDescription;
    // Receives WM_PACKAGE_PROGRESS while the new archive is written; null: none.
    HWND ProgressWindow = nullptr;
    // Called with true before the save and with false after it, also when it fails.
    std::function<void(bool visible)> ShowProgress;
};

// The "Patch" button, inside RunLogged with LinePatch. Shows "Patch installation complete!" and
// returns true only when every step ran. A termination signal (SessionEnd) abandons its save at the
// next step, with no log entry of its own.
bool PatchPackage(AppLogger& log, const PatchJob& job);

// The "Restore" button, inside RunLogged with LineRestore: the backup replaces the archive (also
// when the archive is missing). Shows "Original package file successfully restored!" and returns
// true on success.
bool RestorePackage(AppLogger& log, const XString& packageFile);

// <archive>.original.pck: the archive path with its extension replaced.
XString GetBackupFileName(const XString& packageFile);
// The program folder (empty: the running program's) followed by "Data\".
XString GetDataFolder(const XString& programFolder = XString());

// "<count> package table records could not be read and were left out."; nothing for 0.
void LogSkippedRecords(AppLogger& log, uint32_t count);

// The rebuild of a ".ski" entry from an ".xscene" model: loads the scene at scenePath (unless it
// is the one loaded last in this patch), replaces skin mesh `meshIndex` of the `.ski` in `original`
// with the scene's mesh (bone indices through `boneMap` when not null) and writes the result to
// `output`. Returns false when the `.ski` failed a format check; the output is then incomplete and
// must not be used. A scene that cannot be loaded or used throws, and the patch ends.
using SkiRebuildFunction = std::function<bool(const XString& scenePath, int32_t meshIndex,
                                              const uint8_t* boneMap, XStream& original, XStream& output)>;
// Replaces the rebuild for tests; an empty function restores the built-in one. Returns the
// previous replacement.
SkiRebuildFunction SetSkiRebuildFunction(SkiRebuildFunction function);
} // namespace Patcher

// The program's only window: the archive's path, a browse button, Patch, Restore and Exit, and
// the progress bar of the save.
class TPatcherForm : public TForm
{
public:
    explicit TPatcherForm(TComponent* AOwner);

    TLabel* Label3;
    TEdit* PackageFileEdit;
    TButton* DestPathBrowseBtn;
    TButton* PatchBtn;
    TButton* RestoreBtn;
    TButton* ExitBtn;
    TProgressBar* ProgressBar;
    TBevel* Bevel1;
    TOpenDialog* OpenDlg;

    // Settings: passed to the archive's save.
    int32_t CompressionLevel = 1;
    AnsiString PackageDescription = PatcherDefaultDescription;
    // The folder whose "Data\" holds the models; empty: the program's own.
    XString ProgramFolder;

    // Reads the settings, then loads the patch instructions.
    void FormCreate(TObject* Sender);
    // Writes the settings into the settings document.
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FormDestroy(TObject* Sender);
    void ExitBtnClick(TObject* Sender);
    void DestPathBrowseBtnClick(TObject* Sender);
    void PatchBtnClick(TObject* Sender);
    void RestoreBtnClick(TObject* Sender);

    // WM_PACKAGE_PROGRESS moves the bar; everything else goes the usual way.
    void Dispatch(TMessage& Message) override;

    // True while a patch or a restore runs.
    bool Busy() const { return m_busy; }

protected:
    void OnPackageProgress(TMessage& Message);
    // A close while the archive is being written is refused: the save runs to its end first.
    void DoClose(TCloseAction& Action) override;

private:
    bool m_busy = false;
};

extern TPatcherForm* PatcherForm;
