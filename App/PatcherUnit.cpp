#include "App/PatcherUnit.h"

#include "App/AppConfig.h"
#include "App/AppLogger.h"
#include "App/AppPaths.h"
#include "App/SKITools.h"
#include "App/SessionEnd.h"
#include "Components/XMemoryStream.h"
#include "Components/XVariant.h"
#include "Engine/Scene/XScene.h"
#include "PW/Common/PwError.h"
#include "PW/Common/PwPackage.h"

#include <memory>
#include <string>

const char PatcherDefaultDescription[] = "Kelvane model package";

namespace Patcher
{
namespace
{
// Messages name this unit and the line of the step, as the program's log has always shown them.
constexpr const char* kUnit = "PatcherUnit.cpp";
constexpr int kLineBackup = 183;
constexpr int kLineEntryTooLarge = 228;
constexpr int kLineTempFile = 236;
constexpr int kLineFlush = 238;
constexpr int kLineReplace = 239;
constexpr int kLineDelete = 261;
constexpr int kLineMove = 262;
constexpr int kLineNoBackup = 266;

constexpr unsigned kStreamBlockSize = 8192;

[[noreturn]] void Fail(int line, const UnicodeString& text)
{
    throw UnitError(kUnit, line, text);
}

// A termination signal abandons the save at its next step (its file goes, the archive stays as it
// was): the program must end within a second of it, and a large archive takes longer to write.
// The other steps are short. The program's last log entry says why the patch ended.
struct Stopped
{
};

void StopIfSignalled()
{
    if (SessionEnd::PendingSignal() != 0)
        throw Stopped{};
}

XString Text(const WCHAR* a, const XString& b, const WCHAR* c)
{
    return XString(a) + b + c;
}

// A file, not a folder, as the class library's FileExists answers.
bool FileExists(const XString& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const XString& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

XString LowerExt(const XString& path)
{
    XString ext = GetFileExt(path);
    ext.LowerCase();
    return ext;
}

SkiRebuildFunction& RebuildOverride()
{
    static SkiRebuildFunction function;
    return function;
}

// The scene of one patch run: created before the archive is opened, destroyed after it, and
// reloaded only when an instruction names another model than the one loaded last.
class PatchScene
{
public:
    PatchScene() : m_Scene(new XScene(nullptr)) {}

    const XString& LoadedPath() const { return m_LoadedPath; }

    // The one step of the patch that needs the scene engine and the skin-model rewrite.
    bool RebuildSki(AppLogger& log, const XString& scenePath, int32_t meshIndex, const uint8_t* boneMap,
                    XStream& original, XStream& output)
    {
        if (const SkiRebuildFunction& replacement = RebuildOverride())
        {
            bool rebuilt = replacement(scenePath, meshIndex, boneMap, original, output);
            m_LoadedPath = scenePath;
            return rebuilt;
        }
        if (scenePath != m_LoadedPath)
        {
            // Forget the old path first: a load that throws leaves the scene emptied.
            m_LoadedPath = XString();
            m_Scene->LoadFromFile(scenePath);
            m_LoadedPath = scenePath;
        }
        // The rewrite logs each mesh it copies into the program's log: this run's log.
        AppLogger* programLog = TheAppLogger;
        TheAppLogger = &log;
        struct Restore
        {
            AppLogger* previous;
            ~Restore() { TheAppLogger = previous; }
        } restore{programLog};
        return SkiReplaceMesh(m_Scene.get(), &original, &output, boneMap, meshIndex);
    }

private:
    std::unique_ptr<XScene> m_Scene;
    XString m_LoadedPath;
};

// Moves the whole stream into a buffer the package takes over.
void AddStream(PwPackage& package, const XString& name, XStream& stream)
{
    int64_t size = stream.GetSize();
    if (size < 0 || size > static_cast<int64_t>(UINT32_MAX))
        Fail(kLineEntryTooLarge, Text(u"Entry <", name, u"> too large!"));
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size ? size : 1]);
    stream.SetPosition(0);
    stream.ReadBuffer(buffer.get(), static_cast<unsigned>(size));
    package.AddFromMemory(name.c_str(), buffer.release(), static_cast<uint32_t>(size));
}

void RebuildFromScene(AppLogger& log, PatchScene& scene, PwPackage& package, const PwPatchEntry& instruction,
                      const XString& modelPath, const XString& keptName)
{
    if (modelPath != scene.LoadedPath())
        log.NewEntry() << "Loading model file <" << modelPath.c_str() << ">";
    XMemoryStream original(0, kStreamBlockSize);
    XMemoryStream output(0, kStreamBlockSize);
    package.Extract(keptName.c_str(), &original);
    original.SetPosition(0);
    if (scene.RebuildSki(log, modelPath, instruction.MeshIndex, instruction.BoneMap, original, output))
    {
        AddStream(package, instruction.FileName, output);
        return;
    }
    // A partial skin model must never enter the archive: the entry keeps its game content.
    log.NewEntry() << "Mesh replace in <" << instruction.FileName.c_str()
                   << "> failed - original entry kept.";
    AddStream(package, instruction.FileName, original);
}

void ApplyInstructions(AppLogger& log, const PatchJob& job, const XString& dataFolder, PatchScene& scene,
                       PwPackage& package)
{
    for (uint32_t i = 0; i < PwPatchEntryCount && !job.Entries[i].FileName.IsEmpty(); ++i)
    {
        const PwPatchEntry& instruction = job.Entries[i];
        const XString modelPath = dataFolder + instruction.ModelName;
        if (!FileExists(modelPath))
        {
            log.NewEntry() << "Model file <" << modelPath.c_str() << "> does not exist - patch failed!";
            continue;
        }

        const XString& name = instruction.FileName;
        const XString ext = LowerExt(name);
        const XString keptName = AppPaths::ChangeFileExt(name, (XString(u".original") + ext).c_str());
        if (!package.Exists(keptName.c_str()))
        {
            if (!package.Rename(name.c_str(), keptName.c_str()))
                log.NewEntry() << (Text(u"Rename <", name, u"> to <") + keptName + u"> failed.").c_str();
        }
        else
        {
            package.Delete(name.c_str());
        }

        const bool sceneModel = LowerExt(modelPath) == u".xscene";
        if (ext == u".dds" || (ext == u".ski" && !sceneModel))
            package.AddFromDisk(name.c_str(), modelPath.c_str());
        else if (ext == u".ski")
            RebuildFromScene(log, scene, package, instruction, modelPath, keptName);
        // Any other extension is only kept under its ".original" name.
    }
}

// A save that could not clean up (the program killed, the power gone) leaves its temporary file:
// each would stay for good, as large as the archive. The save removes them too; here each is
// logged.
void RemoveLeftovers(AppLogger& log, const XString& packageFile)
{
    Platform::RemoveReplaceLeftovers(packageFile.c_str(),
                                     [&](const std::u16string& name)
                                     {
                                         log.NewEntry() << "Leftover temporary file <" << XString(name.c_str()).c_str()
                                                        << "> removed.";
                                     });
}

bool FlushFile(const XString& path, DWORD flags = FILE_ATTRIBUTE_NORMAL)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool flushed = FlushFileBuffers(file) != FALSE;
    CloseHandle(file);
    return flushed;
}

// A name made or changed in a folder survives a power loss only once the folder is on disk too.
bool FlushFolderOf(const XString& path)
{
    XString folder = AppPaths::ExtractFilePath(path);
    if (folder.IsEmpty())
        folder = u".";
    return FlushFile(folder, FILE_FLAG_BACKUP_SEMANTICS);
}

enum class Backup
{
    Made,
    Appeared, // another run made it meanwhile
    Failed,
};

// True when the file opens as an archive; otherwise `why` gets what stopped it, as the failure
// wrapper would log it.
bool OpensAsArchive(const XString& path, XString* why = nullptr)
{
    XString error;
    try
    {
        PwPackage package;
        package.Open(path.c_str());
        return true;
    }
    catch (const Exception& e)
    {
        error = XString(e.Message().c_str());
    }
    catch (const char* text)
    {
        error = XString(UnicodeString(text ? text : "").c_str());
    }
    catch (const WCHAR* text)
    {
        error = XString(text ? text : u"");
    }
    catch (...)
    {
    }
    if (why)
        *why = error.IsEmpty() ? XString(u"Unknown error.") : error;
    return false;
}

// The pristine archive kept as <archive>.original.pck. It becomes a second name of the archive's
// file, so that the archive stays where the game looks for it until the finished save replaces it;
// where the file system has no hard links the archive moves there, as it always did. A second copy
// of the program patching the same game may make it between our look and ours: made from the
// untouched archive as ours would have been, it is taken as the backup, if it is an archive at all.
Backup CreateBackup(const XString& packageFile, const XString& backupFile)
{
    // Only an archive file is kept: a folder typed in its place must stay where it is.
    if (FileExists(packageFile) && (CreateHardLinkW(backupFile.c_str(), packageFile.c_str(), nullptr) ||
                                    MoveFileW(packageFile.c_str(), backupFile.c_str())))
        return FlushFolderOf(backupFile) ? Backup::Made : Backup::Failed;
    return OpensAsArchive(backupFile) ? Backup::Appeared : Backup::Failed;
}

// The new archive goes to a temporary file that replaces the archive only once it is complete and
// on disk: whatever fails or interrupts the save, the archive path holds the old archive or the
// new one, never a part of it.
void SaveOver(AppLogger& log, PwPackage& package, const PatchJob& job)
{
    log << LogCtl::Flush; // the steps so far reach the file before the long save
    if (job.ShowProgress)
        job.ShowProgress(true);
    // Every step of the save passes here on its way to the progress bar.
    HWND steps = Platform::RegisterWindowReceiver(
        [&](UINT message, WPARAM wParam, LPARAM lParam)
        {
            StopIfSignalled();
            return job.ProgressWindow ? SendMessageW(job.ProgressWindow, message, wParam, lParam)
                                      : LRESULT(0);
        });
    struct Unregister
    {
        HWND window;
        ~Unregister() { Platform::UnregisterWindowReceiver(window); }
    } unregister{steps};
    try
    {
        package.NotifyWindow = steps;
        package.NotifyMessage = WM_PACKAGE_PROGRESS;
        XString temp;
        auto result = Platform::ReplaceFileSafely(job.PackageFile.c_str(),
                                                  [&](const std::u16string& tempPath)
                                                  {
                                                      temp = XString(tempPath.c_str());
                                                      package.Save(temp.c_str(), job.CompressionLevel,
                                                                   job.Description.c_str());
                                                      StopIfSignalled(); // before the long flush
                                                  });
        switch (result)
        {
        case Platform::ReplaceResult::Done:
            break;
        case Platform::ReplaceResult::CreateFailed:
            Fail(kLineTempFile, Text(u"Creating temporary file for <", job.PackageFile, u"> failed!"));
        case Platform::ReplaceResult::FlushFailed:
            Fail(kLineFlush, Text(u"Writing <", temp, u"> failed!"));
        case Platform::ReplaceResult::ReplaceFailed:
            Fail(kLineReplace, Text(u"Replacing <", job.PackageFile, u"> failed!"));
        }
    }
    catch (...)
    {
        if (job.ShowProgress)
            job.ShowProgress(false);
        throw;
    }
    if (job.ShowProgress)
        job.ShowProgress(false);
}

void RunPatch(AppLogger& log, const PatchJob& job)
{
    const XString dataFolder = GetDataFolder(job.ProgramFolder);
    const XString& packageFile = job.PackageFile;
    const XString backupFile = GetBackupFileName(packageFile);

    log.NewEntry() << "Start patching...";
    log.NewEntry() << "Package file: " << packageFile.c_str();
    log.NewEntry() << "Checking package backup...";
    if (!FileExists(backupFile))
    {
        // Only an archive that opens is kept as the pristine copy: a broken one kept there would
        // fail every later patch and come back over a good archive at a restore.
        XString why;
        if (FileExists(packageFile) && !OpensAsArchive(packageFile, &why))
        {
            log.NewEntry() << "Package file <" << packageFile.c_str() << "> cannot be read: " << why.c_str();
            Fail(kLineBackup, u"Creating package backup failed!");
        }
        switch (CreateBackup(packageFile, backupFile))
        {
        case Backup::Made:
            break;
        case Backup::Appeared:
            log.NewEntry() << "Package backup file <" << backupFile.c_str()
                           << "> appeared meanwhile - taken as the backup.";
            break;
        case Backup::Failed:
            Fail(kLineBackup, u"Creating package backup failed!");
        }
    }
    else
    {
        log.NewEntry() << "Package backup file <" << backupFile.c_str() << "> already exist.";
    }

    {
        // Declared in this order so that the package goes first, then the scene, also on failure.
        PatchScene scene;
        log.NewEntry() << "Loading package backup file <" << backupFile.c_str() << ">";
        PwPackage package;
        package.Open(backupFile.c_str());
        LogSkippedRecords(log, package.GetSkippedRecordCount());
        log.NewEntry() << "Patching package";
        ApplyInstructions(log, job, dataFolder, scene, package);
        RemoveLeftovers(log, packageFile);
        SaveOver(log, package, job);
    }
    ShowMessage(u"Patch installation complete!");
}

void RunRestore(AppLogger& log, const XString& packageFile)
{
    const XString backupFile = GetBackupFileName(packageFile);
    log.NewEntry() << "Restoring original package file...";
    if (!FileExists(backupFile))
        Fail(kLineNoBackup, Text(u"Package backup file <", backupFile, u"> does not exist!"));
    // Nothing to delete is no failure: a patch that ended early may have left no archive.
    if (PathExists(packageFile) && !DeleteFileW(packageFile.c_str()))
        Fail(kLineDelete, u"Delete <models.pck> failed!");
    if (!MoveFileW(backupFile.c_str(), packageFile.c_str()))
        Fail(kLineMove, u"Move package file failed!");
    ShowMessage(u"Original package file successfully restored!");
}
} // namespace

bool RunLogged(AppLogger& log, int line, const std::function<void()>& work)
{
    try
    {
        work();
        log << LogCtl::Flush;
        return true;
    }
    catch (const Stopped&)
    {
    }
    catch (const XException& e)
    {
        log.NewEntry() << e.Message().c_str();
    }
    catch (const Exception& e)
    {
        log.NewEntry() << FormatUnitErrorPrefix(kUnit, line).c_str() << e.Message().c_str();
    }
    catch (const char* text)
    {
        log.NewEntry() << "ERROR: Unknown error. " << (text ? text : "");
    }
    catch (const WCHAR* text)
    {
        log.NewEntry() << "ERROR: Unknown error. " << (text ? text : u"");
    }
    catch (...)
    {
        log.NewEntry() << "ERROR: Unknown error.";
    }
    log << LogCtl::Flush;
    return false;
}

XString GetBackupFileName(const XString& packageFile)
{
    return AppPaths::ChangeFileExt(packageFile, u".original.pck");
}

XString GetDataFolder(const XString& programFolder)
{
    XString folder = programFolder.IsEmpty() ? AppPaths::ExtractFilePath(AppPaths::ProgramFile())
                                             : IncludeTrailingSlash(programFolder);
    return folder + u"Data\\";
}

void LogSkippedRecords(AppLogger& log, uint32_t count)
{
    if (count > 0)
        log.NewEntry() << static_cast<int>(count)
                       << " package table records could not be read and were left out.";
}

bool PatchPackage(AppLogger& log, const PatchJob& job)
{
    return RunLogged(log, LinePatch, [&] { RunPatch(log, job); });
}

bool RestorePackage(AppLogger& log, const XString& packageFile)
{
    return RunLogged(log, LineRestore, [&] { RunRestore(log, packageFile); });
}

SkiRebuildFunction SetSkiRebuildFunction(SkiRebuildFunction function)
{
    SkiRebuildFunction previous = std::move(RebuildOverride());
    RebuildOverride() = std::move(function);
    return previous;
}
} // namespace Patcher

// ---- The dialog ------------------------------------------------------------------------------

TPatcherForm* PatcherForm = nullptr;

using VarUtils::XVariant;

namespace
{
const WCHAR kPackageFilter[] = u"Game 'Models.pck' file (Models.pck)|Models.pck";

template <typename T>
T* Place(TPatcherForm* form, const WCHAR* name, int left, int top, int width, int height, TAnchors anchors)
{
    T* control = new T(form);
    control->SetName(name);
    control->SetParent(form);
    control->SetBounds(left, top, width, height);
    control->SetAnchors(anchors);
    return control;
}

TButton* PlaceButton(TPatcherForm* form, const WCHAR* name, const WCHAR* caption, int left, int top,
                     int width, TAnchors anchors, void (TPatcherForm::*handler)(TObject*))
{
    TButton* button = Place<TButton>(form, name, left, top, width, 25, anchors);
    button->SetCaption(caption);
    button->OnClick = MakeClosure(form, handler);
    return button;
}

AppLogger& Log()
{
    if (!TheAppLogger)
        throw Exception(u"The log is not open.");
    return *TheAppLogger;
}

// Settings go to a document that may not exist outside the program (tests build the form alone).
CxXml::XmlNode& Settings()
{
    if (!TheAppConfig)
        throw Exception(u"The settings are not loaded.");
    return *TheAppConfig->GetRoot();
}
} // namespace

TPatcherForm::TPatcherForm(TComponent* AOwner) : TForm(AOwner)
{
    SetName(u"PatcherForm");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(u"Kelvane");
    SetColor(clBtnFace);
    Font()->SetName(u"Tahoma");
    Font()->SetHeight(-11);
    SetClientWidth(632);
    SetClientHeight(96);

    // Created in tab order, so that Tab walks them as listed.
    // The label sizes itself to its caption (the class library's default), so that the whole
    // caption shows whatever the face that stands in for Tahoma measures.
    Label3 = Place<TLabel>(this, u"Label3", 8, 11, 74, 13, {akLeft, akTop});
    Label3->SetCaption(u"Models.pck file:");
    PackageFileEdit = Place<TEdit>(this, u"PackageFileEdit", 95, 8, 491, 21, {akLeft, akTop, akRight});
    DestPathBrowseBtn = PlaceButton(this, u"DestPathBrowseBtn", u"...", 592, 5, 32, {akTop, akRight},
                                    &TPatcherForm::DestPathBrowseBtnClick);
    PatchBtn = PlaceButton(this, u"PatchBtn", u"Patch", 14, 63, 75, {akLeft, akBottom},
                           &TPatcherForm::PatchBtnClick);
    RestoreBtn = PlaceButton(this, u"RestoreBtn", u"Restore", 95, 63, 75, {akLeft, akBottom},
                             &TPatcherForm::RestoreBtnClick);
    ExitBtn =
        PlaceButton(this, u"ExitBtn", u"Exit", 543, 63, 75, {akRight, akBottom}, &TPatcherForm::ExitBtnClick);
    ProgressBar = Place<TProgressBar>(this, u"ProgressBar", 8, 36, 616, 11, {akLeft, akRight, akBottom});
    ProgressBar->SetSmooth(true);
    ProgressBar->SetPosition(100);
    ProgressBar->SetVisible(false);
    Bevel1 = Place<TBevel>(this, u"Bevel1", 8, 44, 616, 13, {akLeft, akRight, akBottom});
    Bevel1->SetShape(bsBottomLine);
    PackageFileEdit->SetTabOrder(0);
    DestPathBrowseBtn->SetTabOrder(1);
    PatchBtn->SetTabOrder(2);
    RestoreBtn->SetTabOrder(3);
    ExitBtn->SetTabOrder(4);
    ProgressBar->SetTabOrder(5);

    OpenDlg = new TOpenDialog(this);
    OpenDlg->SetName(u"OpenDlg");
    OpenDlg->Options = TOpenOptions{ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing};

    OnCreate = MakeClosure(this, &TPatcherForm::FormCreate);
    OnClose = MakeClosure(this, &TPatcherForm::FormClose);
    OnDestroy = MakeClosure(this, &TPatcherForm::FormDestroy);
}

void TPatcherForm::FormCreate(TObject*)
{
    Patcher::RunLogged(
        Log(), Patcher::LineFormCreate,
        [this]
        {
            CxXml::XmlNode& settings = Settings();
            PackageFileEdit->SetText(
                settings.ReadValue(u"PackageFilePath", XVariant(XString())).AsString().c_str());
            XVariant description;
            description = XAnsiString(PackageDescription.c_str());
            PackageDescription =
                AnsiString(settings.ReadValue(u"PackageTailer", description).AsAnsiString().c_str());
            CompressionLevel =
                settings.ReadValue(u"PackageCompression", XVariant(int(CompressionLevel))).AsInt();
        });
    // Failures here reach the application's exception box and the log; the program starts all the
    // same.
    auto logged = [](const UnicodeString& text)
    {
        if (TheAppLogger)
            TheAppLogger->NewEntry()
                << PatchDataLoadFailure(GetPatchDataFileName(), XString(text.c_str())).c_str()
                << LogCtl::Flush;
        return Exception(text);
    };
    try
    {
        LoadPatchEntries();
    }
    catch (const Exception& e)
    {
        logged(e.Message());
        throw;
    }
    catch (const char* text)
    {
        throw logged(UnicodeString(text ? text : ""));
    }
    catch (const WCHAR* text)
    {
        throw logged(UnicodeString(text ? text : u""));
    }
}

void TPatcherForm::FormClose(TObject*, TCloseAction&)
{
    Patcher::RunLogged(Log(), Patcher::LineFormClose,
                       [this]
                       {
                           CxXml::XmlNode& settings = Settings();
                           settings.Clear();
                           settings.AddValue(u"PackageFilePath", XString(PackageFileEdit->Text().c_str()));
                           XVariant description;
                           description = XAnsiString(PackageDescription.c_str());
                           settings.AddValue(u"PackageTailer", description);
                           settings.AddValue(u"PackageCompression", XVariant(int(CompressionLevel)));
                       });
}

void TPatcherForm::FormDestroy(TObject*) {}

void TPatcherForm::ExitBtnClick(TObject*)
{
    Close();
}

void TPatcherForm::DestPathBrowseBtnClick(TObject*)
{
    const XString path(PackageFileEdit->Text().c_str());
    OpenDlg->InitialDir = UnicodeString(AppPaths::ExtractFilePath(path).c_str());
    OpenDlg->FileName = PackageFileEdit->Text();
    OpenDlg->DefaultExt = u"pck";
    OpenDlg->Filter = kPackageFilter;
    if (OpenDlg->Execute())
        PackageFileEdit->SetText(OpenDlg->FileName);
}

void TPatcherForm::PatchBtnClick(TObject*)
{
    if (m_busy)
        return;
    m_busy = true;
    Patcher::PatchJob job;
    job.PackageFile = XString(PackageFileEdit->Text().c_str());
    job.ProgramFolder = ProgramFolder;
    job.CompressionLevel = CompressionLevel;
    job.Description = PackageDescription;
    job.ProgressWindow = Handle();
    job.ShowProgress = [this](bool visible)
    {
        ProgressBar->SetVisible(visible);
        Update();
    };
    try
    {
        Patcher::PatchPackage(Log(), job);
    }
    catch (...)
    {
        m_busy = false;
        throw;
    }
    m_busy = false;
}

void TPatcherForm::RestoreBtnClick(TObject*)
{
    if (m_busy)
        return;
    m_busy = true;
    try
    {
        Patcher::RestorePackage(Log(), XString(PackageFileEdit->Text().c_str()));
    }
    catch (...)
    {
        m_busy = false;
        throw;
    }
    m_busy = false;
}

void TPatcherForm::Dispatch(TMessage& Message)
{
    if (Message.Msg == WM_PACKAGE_PROGRESS)
    {
        OnPackageProgress(Message);
        return;
    }
    TForm::Dispatch(Message);
}

void TPatcherForm::OnPackageProgress(TMessage& Message)
{
    ProgressBar->SetMax(static_cast<int>(Message.LParam));
    ProgressBar->SetPosition(static_cast<int>(Message.WParam));
    ProgressBar->Update();
}

void TPatcherForm::DoClose(TCloseAction& Action)
{
    if (m_busy)
    {
        Action = caNone;
        return;
    }
    TForm::DoClose(Action);
}
