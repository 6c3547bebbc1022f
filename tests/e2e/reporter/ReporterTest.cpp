// End-to-end scenarios of the reporter: tarnrpt.exe started on an upload list in a folder of
// the temporary directory, as the main program starts it, uploading through the real tarnup.dll
// and WinHTTP to the sample receiver on 127.0.0.1.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/harness/AppDriver.h"
#include "e2e/reporter/ReporterDriver.h"
#include "reporter/core/Hex.h"
#include "clean/Md5.h"
#include "support/WinFiles.h"

namespace e2e {
namespace {

struct ReceiverOptions {
    std::string dir;  // Windows path of the receiver's folder
    std::string port, deadPort, tlsPort;
    std::string probeDll, plantControl;
    std::string planted;  // library names without ".dll", comma-separated
} g_receiver;

// The whole file, or nothing when it cannot be read.
std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    if (!::ReadWholeFile(path, &bytes))
        bytes.clear();
    return bytes;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Md5Of(const std::string& bytes) {
    ::Md5 md5;
    md5.Update(bytes.data(), bytes.size());
    uint8_t digest[::Md5::kDigestSize];
    md5.Finish(digest);
    return reporter::ToHex(digest, sizeof(digest));
}

struct Sample {
    std::string path, bytes, md5;
};

// One scenario: a folder in the temporary directory with the reporter, its library, the list
// and the sample files, and a fresh receiver state.
class ReporterTest : public testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        // Spaces and Chinese in the folder: the list path on the command line is not quoted.
        folder_ = std::string(temp) + "rpt e2e " + name;
        RemoveTree(folder_);
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        // The reporter reads only files beside its list, where the main program copies them.
        samples_ = folder_;
        const std::string& app = GetOptions().appPath;
        const std::string binaries = app.substr(0, app.find_last_of('\\'));
        reporterPath_ = folder_ + "\\tarnrpt.exe";
        ASSERT_TRUE(CopyFileA(app.c_str(), reporterPath_.c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((binaries + "\\tarnup.dll").c_str(),
                              (folder_ + "\\tarnup.dll").c_str(), FALSE));
        listPath_ = folder_ + "\\vex7275.tmp";
        SetEndpoint(g_receiver.port);
        ResetReceiver("");
    }

    void TearDown() override {
        reporter_.Kill();
        RemoveTree(folder_);
    }

    void SetEndpoint(const std::string& port, const std::string& scheme = "http") {
        const std::string url = scheme + "://127.0.0.1:" + port;
        SetEnvironmentVariableA("TARNUP_ENDPOINT", url.c_str());
    }

    // Empties the receiver's store and log and gives it new instructions.
    void ResetReceiver(const std::string& settings) {
        static int generation = 0;
        const std::string stored = g_receiver.dir + "\\stored";
        RemoveTree(stored);
        DeleteFileA((g_receiver.dir + "\\requests.log").c_str());
        CreateDirectoryA(stored.c_str(), nullptr);
        std::string json = "{\"generation\": " + std::to_string(++generation);
        if (!settings.empty())
            json += ", " + settings;
        json += "}";
        ASSERT_TRUE(WriteWholeFile(g_receiver.dir + "\\control.json", json));
    }

    std::string ReceiverLog() const { return ReadWholeFile(g_receiver.dir + "\\requests.log"); }
    std::string Stored(const std::string& md5) const {
        return ReadWholeFile(g_receiver.dir + "\\stored\\" + md5 + ".bin");
    }
    bool IsStored(const std::string& md5) const {
        return FileExists(g_receiver.dir + "\\stored\\" + md5 + ".bin");
    }

    Sample MakeSample(const std::string& name, size_t size, unsigned seed) {
        Sample sample;
        sample.path = samples_ + "\\" + name;
        uint32_t state = seed * 2654435761u + 1;
        for (size_t i = 0; i < size; ++i) {
            state = state * 1103515245u + 12345u;
            sample.bytes.push_back(char(state >> 24));
        }
        sample.md5 = Md5Of(sample.bytes);
        EXPECT_TRUE(WriteWholeFile(sample.path, sample.bytes));
        return sample;
    }

    // The list's "name" value: the ANSI name in UTF-8, escaped as the main program escapes it.
    static std::string EscapedName(const std::string& ansi) {
        wchar_t wide[MAX_PATH] = {};
        char utf8[4 * MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, MAX_PATH);
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof(utf8), nullptr, nullptr);
        std::string escaped;
        for (const char* p = utf8; *p != '\0'; ++p) {
            const unsigned char byte = static_cast<unsigned char>(*p);
            char hex[4];
            std::snprintf(hex, sizeof(hex), "%%%02X", byte);
            escaped +=
                (byte < '!' || byte > '~' || byte == '%' || byte == '"') ? hex : std::string(1, *p);
        }
        return escaped;
    }

    // Writes the list as the main program does, through the profile functions.
    void WriteList(const std::vector<Sample>& samples) {
        for (size_t i = 0; i < samples.size(); ++i) {
            const std::string section = "ITEM" + std::to_string(i);
            const std::string& path = samples[i].path;
            const std::string ext =
                "type=thVormak|name=" + path.substr(path.find_last_of('\\') + 1) + "|";
            WritePrivateProfileStringA(section.c_str(), "file", path.c_str(), listPath_.c_str());
            WritePrivateProfileStringA(section.c_str(), "md5", samples[i].md5.c_str(),
                                       listPath_.c_str());
            WritePrivateProfileStringA(section.c_str(), "ext", ext.c_str(), listPath_.c_str());
            const std::string name = EscapedName(path.substr(path.find_last_of('\\') + 1));
            WritePrivateProfileStringA(section.c_str(), "name", name.c_str(), listPath_.c_str());
        }
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, listPath_.c_str());
    }

    void StartOnList() {
        ASSERT_TRUE(reporter_.Start(reporterPath_, "/files:" + listPath_));
        ASSERT_TRUE(reporter_.WaitForWindow()) << "the reporter window did not appear";
    }

    // Presses Upload and waits for the outcome line.
    std::string UploadAndWait(DWORD timeoutMs = 60000) {
        reporter_.Click(kReporterUpload);
        const bool finished = WaitUntil(
            [&] {
                const std::string summary = reporter_.SummaryText();
                return StartsWith(summary, "上传完成") || StartsWith(summary, "上传未全部完成") ||
                       StartsWith(summary, "上传已取消");
            },
            timeoutMs, 50);
        EXPECT_TRUE(finished) << "no outcome; summary: " << reporter_.SummaryText();
        return reporter_.SummaryText();
    }

    DWORD CloseAndExitCode() {
        EXPECT_EQ(reporter_.ButtonText(kReporterClose), "关闭");
        reporter_.Click(kReporterClose);
        DWORD code = 0xDEAD;
        EXPECT_TRUE(reporter_.WaitForExit(&code, 15000)) << "the reporter did not exit";
        return code;
    }

    size_t Count(const std::string& text, const std::string& what) const {
        size_t count = 0;
        for (size_t pos = text.find(what); pos != std::string::npos;
             pos = text.find(what, pos + 1)) {
            ++count;
        }
        return count;
    }

    std::string folder_, samples_, reporterPath_, listPath_;
    Reporter reporter_;
};

TEST_F(ReporterTest, UploadsTheUnknownFilesAndSkipsTheKnownOne) {
    // The largest file the main program lists (4,231,168 bytes is left out).
    const Sample first = MakeSample("first.dll", 4231167, 1);
    const Sample second = MakeSample("第二 个.dll", 1234, 2);
    const Sample known = MakeSample("known.exe", 5000, 3);
    // A file outside the list's folder is never shown, read or sent.
    ASSERT_TRUE(CreateDirectoryA((folder_ + "\\elsewhere").c_str(), nullptr));
    Sample outside = known;
    outside.path = folder_ + "\\elsewhere\\outside.dll";
    ASSERT_TRUE(WriteWholeFile(outside.path, outside.bytes));
    WriteList({first, second, outside, known});
    ResetReceiver("\"known\": [\"" + known.md5 + "\"]");

    StartOnList();
    ASSERT_EQ(reporter_.RowCount(), 3);
    EXPECT_EQ(reporter_.RowText(0, kColumnName), "first.dll");
    EXPECT_EQ(reporter_.RowText(1, kColumnName), "第二 个.dll");
    EXPECT_EQ(reporter_.RowText(1, kColumnFolder), samples_);
    EXPECT_EQ(reporter_.RowText(0, kColumnSize), "4.0 MB");
    EXPECT_EQ(reporter_.RowText(2, kColumnMd5), known.md5);
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(reporter_.IsRowChecked(row)) << row;
        EXPECT_EQ(reporter_.RowText(row, kColumnStatus), "等待上传");
    }
    EXPECT_TRUE(reporter_.IsButtonEnabled(kReporterUpload));
    EXPECT_TRUE(SaveWindowScreenshot(reporter_.Window(), "reporter"));

    const std::string summary = UploadAndWait();
    EXPECT_EQ(summary, "上传完成：已上传 2 个，已存在 1 个，失败 0 个，跳过 0 个。");
    EXPECT_EQ(reporter_.RowText(0, kColumnStatus), "已上传");
    EXPECT_EQ(reporter_.RowText(1, kColumnStatus), "已上传");
    EXPECT_EQ(reporter_.RowText(2, kColumnStatus), "已存在（无需上传）");
    EXPECT_TRUE(SaveWindowScreenshot(reporter_.Window(), "reporter-done"));

    // The receiver holds exactly the bytes of the two unknown files, and nothing was sent for
    // the known one beyond the question.
    EXPECT_TRUE(Stored(first.md5) == first.bytes) << "stored bytes differ for " << first.path;
    EXPECT_TRUE(Stored(second.md5) == second.bytes) << "stored bytes differ for " << second.path;
    EXPECT_EQ(ReadWholeFile(g_receiver.dir + "\\stored\\" + second.md5 + ".ext"),
              "type=thVormak|name=第二 个.dll|");
    EXPECT_FALSE(IsStored(known.md5));
    const std::string log = ReceiverLog();
    EXPECT_EQ(Count(log, "POST /samples 201"), 2u) << log;
    EXPECT_EQ(Count(log, "GET /samples/" + known.md5 + " 200"), 1u) << log;
    EXPECT_EQ(Count(log, "POST /samples 201 " + known.md5), 0u) << log;
    // The list was temporary; the samples themselves are untouched.
    EXPECT_FALSE(FileExists(listPath_));
    EXPECT_TRUE(ReadWholeFile(first.path) == first.bytes);

    EXPECT_EQ(CloseAndExitCode(), 0u);
}

TEST_F(ReporterTest, ReceiverThatFailsTwiceIsRetriedUntilItTakesTheFile) {
    const Sample sample = MakeSample("retry.dll", 40000, 4);
    WriteList({sample});
    ResetReceiver("\"fail\": 2, \"fail_post\": 1");
    StartOnList();
    EXPECT_EQ(UploadAndWait(), "上传完成：已上传 1 个，已存在 0 个，失败 0 个，跳过 0 个。");
    EXPECT_TRUE(Stored(sample.md5) == sample.bytes) << "stored bytes differ for " << sample.path;
    const std::string log = ReceiverLog();
    // Two failed questions, the answered one, one failed upload, the upload that was taken.
    EXPECT_EQ(Count(log, "GET /samples/" + sample.md5 + " 503"), 2u) << log;
    EXPECT_EQ(Count(log, "GET /samples/" + sample.md5 + " 404"), 1u) << log;
    EXPECT_EQ(Count(log, "POST /samples 503"), 1u) << log;
    EXPECT_EQ(Count(log, "POST /samples 201 " + sample.md5), 1u) << log;
    EXPECT_EQ(CloseAndExitCode(), 0u);
}

// Only trouble that may pass is repeated, and only so often: a service that keeps answering 503
// gets the question four times and the file fails; a 400 for the upload is final at once.
TEST_F(ReporterTest, LastingOrFinalRefusalsFailTheFileAfterFourOrOneRequest) {
    const Sample busy = MakeSample("busy.dll", 1800, 19);
    const Sample refused = MakeSample("refused.dll", 1900, 20);
    WriteList({busy, refused});
    ResetReceiver("\"fail\": 4, \"fail_post\": 1, \"fail_post_status\": 400");
    StartOnList();
    EXPECT_EQ(UploadAndWait(), "上传未全部完成：已上传 0 个，已存在 0 个，失败 2 个，跳过 0 个。");
    EXPECT_EQ(reporter_.RowText(0, kColumnStatus), "失败（服务器拒绝，HTTP 503）");
    EXPECT_EQ(reporter_.RowText(1, kColumnStatus), "失败（服务器拒绝，HTTP 400）");
    const std::string log = ReceiverLog();
    EXPECT_EQ(Count(log, "GET /samples/" + busy.md5 + " 503"), 4u) << log;
    EXPECT_EQ(Count(log, busy.md5), 4u) << log;
    EXPECT_EQ(Count(log, "GET /samples/" + refused.md5 + " 404"), 1u) << log;
    EXPECT_EQ(Count(log, "POST /samples 400"), 1u) << log;
    EXPECT_EQ(Count(log, "POST "), 1u) << log;
    EXPECT_FALSE(IsStored(refused.md5));
    EXPECT_EQ(CloseAndExitCode(), 3u);
}

// Cancel while the reporter waits before its last attempt (a second after the third 503): the
// wait ends and no further request goes out.
TEST_F(ReporterTest, CancelWhileWaitingToRetrySendsNothingMore) {
    const Sample sample = MakeSample("waiting.dll", 2200, 21);
    WriteList({sample});
    ResetReceiver("\"fail\": 100");
    StartOnList();
    reporter_.Click(kReporterUpload);
    const std::string failed = "GET /samples/" + sample.md5 + " 503";
    ASSERT_TRUE(WaitUntil([&] { return Count(ReceiverLog(), failed) >= 3; }, 20000, 5))
        << ReceiverLog();
    reporter_.Click(kReporterClose);
    ASSERT_TRUE(reporter_.WaitForSummary("上传已取消", 10000)) << reporter_.SummaryText();
    EXPECT_EQ(reporter_.RowText(0, kColumnStatus), "已取消");
    EXPECT_EQ(CloseAndExitCode(), 4u);
    // The reporter has ended: the log is complete.
    EXPECT_EQ(Count(ReceiverLog(), sample.md5), 3u) << ReceiverLog();
}

TEST_F(ReporterTest, DroppedConnectionsAreRetriedToo) {
    const Sample sample = MakeSample("drop.dll", 3000, 5);
    WriteList({sample});
    ResetReceiver("\"drop_post\": 2");
    StartOnList();
    EXPECT_EQ(UploadAndWait(), "上传完成：已上传 1 个，已存在 0 个，失败 0 个，跳过 0 个。");
    EXPECT_TRUE(Stored(sample.md5) == sample.bytes) << "stored bytes differ for " << sample.path;
    EXPECT_EQ(Count(ReceiverLog(), "POST /samples DROP"), 2u) << ReceiverLog();
    EXPECT_EQ(CloseAndExitCode(), 0u);
}

TEST_F(ReporterTest, ReceiverThatIsDownGivesAClearFailureAndANonZeroExit) {
    const Sample first = MakeSample("a.dll", 1000, 6);
    const Sample second = MakeSample("b.dll", 2000, 7);
    WriteList({first, second});
    SetEndpoint(g_receiver.deadPort);
    StartOnList();
    const std::string summary = UploadAndWait();
    EXPECT_EQ(summary,
              "上传未全部完成：已上传 0 个，已存在 0 个，失败 2 个，跳过 0 个。"
              "无法连接上传服务器，请检查网络后重试。");
    EXPECT_EQ(reporter_.RowText(0, kColumnStatus), "失败（无法连接服务器）");
    EXPECT_EQ(reporter_.RowText(1, kColumnStatus), "失败（无法连接服务器）");
    EXPECT_EQ(CloseAndExitCode(), 3u);
    EXPECT_FALSE(FileExists(listPath_));
}

TEST_F(ReporterTest, NoTrustedSecureConnectionFailsEveryFileAtOnceAndNeverInTheClear) {
    // The receiver's https port shows a certificate that nothing trusts: to the reporter this is
    // what a system whose TLS is too old for the lab's server sees, a secure channel failure.
    const Sample first = MakeSample("tls1.dll", 1500, 17);
    const Sample second = MakeSample("tls2.dll", 1600, 18);
    WriteList({first, second});
    SetEndpoint(g_receiver.tlsPort, "https");
    StartOnList();
    EXPECT_EQ(UploadAndWait(),
              "上传未全部完成：已上传 0 个，已存在 0 个，失败 2 个，跳过 0 个。"
              "此 Windows 无法与实验室建立安全连接。");
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(reporter_.RowText(row, kColumnStatus), "失败（系统无法安全连接实验室）") << row;
    }
    EXPECT_TRUE(SaveWindowScreenshot(reporter_.Window(), "reporter-insecure"));
    // One connection: the failure is not repeated, the second file is not tried, and no request
    // went out, in the clear or over the untrusted channel.
    const std::string log = ReceiverLog();
    EXPECT_EQ(Count(log, "TLS CONNECTION"), 1u) << log;
    EXPECT_EQ(Count(log, "PLAIN-HTTP"), 0u) << log;
    EXPECT_EQ(Count(log, "GET "), 0u) << log;
    EXPECT_EQ(Count(log, "POST "), 0u) << log;
    EXPECT_EQ(CloseAndExitCode(), 3u);
}

TEST_F(ReporterTest, UncheckedFileSendsNothing) {
    const Sample kept = MakeSample("kept.dll", 2500, 8);
    const Sample unchecked = MakeSample("unchecked.dll", 2600, 9);
    WriteList({kept, unchecked});
    StartOnList();
    ASSERT_TRUE(reporter_.SetRowChecked(1, false));
    EXPECT_TRUE(
        WaitUntil([&] { return StartsWith(reporter_.SummaryText(), "已选择 1 个文件"); }, 5000))
        << reporter_.SummaryText();
    EXPECT_EQ(UploadAndWait(), "上传完成：已上传 1 个，已存在 0 个，失败 0 个，跳过 1 个。");
    EXPECT_EQ(reporter_.RowText(1, kColumnStatus), "已跳过（未勾选）");
    EXPECT_TRUE(IsStored(kept.md5));
    EXPECT_EQ(ReceiverLog().find(unchecked.md5), std::string::npos) << ReceiverLog();
    EXPECT_EQ(CloseAndExitCode(), 0u);
}

TEST_F(ReporterTest, NothingCheckedMeansUploadCannotBePressed) {
    const Sample only = MakeSample("only.dll", 100, 10);
    WriteList({only});
    StartOnList();
    ASSERT_TRUE(reporter_.SetRowChecked(0, false));
    EXPECT_TRUE(WaitUntil([&] { return !reporter_.IsButtonEnabled(kReporterUpload); }, 5000));
    // Cancel before anything was sent: nothing is sent, the list is gone, the exit says so.
    reporter_.Click(kReporterClose);
    DWORD code = 0;
    ASSERT_TRUE(reporter_.WaitForExit(&code));
    EXPECT_EQ(code, 4u);
    EXPECT_EQ(ReceiverLog(), "");
    EXPECT_FALSE(FileExists(listPath_));
}

TEST_F(ReporterTest, FileGoneSinceTheListWasWrittenIsShownButCannotBeChosen) {
    const Sample present = MakeSample("present.dll", 900, 15);
    const Sample gone = MakeSample("gone.dll", 800, 16);
    WriteList({present, gone});
    ASSERT_TRUE(DeleteFileA(gone.path.c_str()));
    StartOnList();
    ASSERT_EQ(reporter_.RowCount(), 2);
    EXPECT_TRUE(reporter_.IsRowChecked(0));
    EXPECT_FALSE(reporter_.IsRowChecked(1));
    EXPECT_EQ(reporter_.RowText(1, kColumnStatus), "文件不存在");
    EXPECT_EQ(reporter_.RowText(1, kColumnSize), "-");
    EXPECT_FALSE(reporter_.SetRowChecked(1, true));
    EXPECT_EQ(UploadAndWait(), "上传完成：已上传 1 个，已存在 0 个，失败 0 个，跳过 1 个。");
    EXPECT_EQ(reporter_.RowText(1, kColumnStatus), "文件不存在");
    EXPECT_EQ(ReceiverLog().find(gone.md5), std::string::npos) << ReceiverLog();
    EXPECT_EQ(CloseAndExitCode(), 0u);
}

TEST_F(ReporterTest, FileChangedSinceTheListWasWrittenIsSkipped) {
    Sample changed = MakeSample("changed.dll", 4000, 11);
    WriteList({changed});
    StartOnList();
    ASSERT_TRUE(WriteWholeFile(changed.path, changed.bytes + "more"));
    EXPECT_EQ(UploadAndWait(), "上传完成：已上传 0 个，已存在 0 个，失败 0 个，跳过 1 个。");
    EXPECT_EQ(reporter_.RowText(0, kColumnStatus), "已跳过（文件已改变）");
    EXPECT_EQ(ReceiverLog(), "");
    EXPECT_EQ(CloseAndExitCode(), 0u);
}

TEST_F(ReporterTest, CancelDuringAStalledUploadEndsPromptly) {
    const Sample sample = MakeSample("stall.dll", 5000, 12);
    WriteList({sample});
    ResetReceiver("\"stall_seconds\": 40");
    StartOnList();
    reporter_.Click(kReporterUpload);
    ASSERT_TRUE(WaitUntil([&] { return ReceiverLog().find("STALL") != std::string::npos; }, 20000));
    const DWORD start = GetTickCount();
    reporter_.Click(kReporterClose);
    ASSERT_TRUE(reporter_.WaitForSummary("上传已取消", 10000)) << reporter_.SummaryText();
    // Well before the receiver's 40 s stall would end it.
    EXPECT_LT(GetTickCount() - start, e2e::ScaledTimeout(8000));
    EXPECT_EQ(reporter_.RowText(0, kColumnStatus), "已取消");
    EXPECT_EQ(CloseAndExitCode(), 4u);
    EXPECT_FALSE(IsStored(sample.md5));
}

TEST_F(ReporterTest, PlantedLibrariesBesideTheReporterAreNeverLoaded) {
    // The names come from the test's command line; the same names are set to native-first in
    // WINEDLLOVERRIDES for this run. Wine otherwise prefers its builtin libraries to a program's
    // folder, which Windows does not (it protects only its known DLLs).
    ASSERT_FALSE(g_receiver.planted.empty()) << "run with --planted=<names>";
    std::vector<std::string> planted;
    for (size_t pos = 0; pos < g_receiver.planted.size();) {
        size_t comma = g_receiver.planted.find(',', pos);
        if (comma == std::string::npos)
            comma = g_receiver.planted.size();
        planted.push_back(g_receiver.planted.substr(pos, comma - pos) + ".dll");
        pos = comma + 1;
    }
    for (const std::string& name : planted) {
        ASSERT_TRUE(CopyFileA(g_receiver.probeDll.c_str(), (folder_ + "\\" + name).c_str(), FALSE));
    }
    // The planting works: a program that searches its own folder first does load the probe.
    const std::string control = folder_ + "\\plant_control.exe";
    ASSERT_TRUE(CopyFileA(g_receiver.plantControl.c_str(), control.c_str(), FALSE));
    {
        Reporter probe;
        ASSERT_TRUE(probe.Start(control, "version.dll"));
        DWORD code = 99;
        ASSERT_TRUE(probe.WaitForExit(&code));
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(FileExists(folder_ + "\\version.dll.loaded"));
        DeleteFileA((folder_ + "\\version.dll.loaded").c_str());
    }

    const Sample sample = MakeSample("planted.dll", 3000, 13);
    WriteList({sample});
    StartOnList();
    EXPECT_EQ(UploadAndWait(), "上传完成：已上传 1 个，已存在 0 个，失败 0 个，跳过 0 个。");
    EXPECT_EQ(CloseAndExitCode(), 0u);
    for (const std::string& name : planted) {
        EXPECT_FALSE(FileExists(folder_ + "\\" + name + ".loaded")) << name << " was loaded";
    }
}

TEST_F(ReporterTest, AlteredUploadLibraryIsRefused) {
    std::string library = ReadWholeFile(folder_ + "\\tarnup.dll");
    ASSERT_GT(library.size(), 1000u);
    library[library.size() / 2] ^= 0x01;
    ASSERT_TRUE(WriteWholeFile(folder_ + "\\tarnup.dll", library));
    const Sample sample = MakeSample("x.dll", 100, 14);
    WriteList({sample});
    ASSERT_TRUE(reporter_.Start(reporterPath_, "/files:" + listPath_));
    HWND box = reporter_.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(StartsWith(Reporter::MessageBoxText(box), "上传组件已被改动"))
        << Reporter::MessageBoxText(box);
    Reporter::PressMessageBoxButton(box, IDOK);
    DWORD code = 0;
    ASSERT_TRUE(reporter_.WaitForExit(&code));
    EXPECT_EQ(code, 2u);
    EXPECT_EQ(ReceiverLog(), "");
    EXPECT_FALSE(FileExists(listPath_));
}

TEST_F(ReporterTest, MissingEmptyOrAbsentListShowsAMessageAndFails) {
    const struct {
        std::string arguments, listText, message;
    } cases[] = {
        {"/files:" + listPath_, "", "找不到上传列表"},
        {"/files:" + listPath_, "[ITEM0]\r\nfile=relative.dll\r\n", "上传列表中没有可上传的文件"},
        {"", "", "没有指定上传列表"},
    };
    for (const auto& scenario : cases) {
        DeleteFileA(listPath_.c_str());
        if (!scenario.listText.empty()) {
            ASSERT_TRUE(WriteWholeFile(listPath_, scenario.listText));
        }
        Reporter run;
        ASSERT_TRUE(run.Start(reporterPath_, scenario.arguments));
        HWND box = run.WaitForMessageBox();
        ASSERT_NE(box, nullptr) << scenario.message;
        EXPECT_TRUE(StartsWith(Reporter::MessageBoxText(box), scenario.message))
            << Reporter::MessageBoxText(box);
        Reporter::PressMessageBoxButton(box, IDOK);
        DWORD code = 0;
        ASSERT_TRUE(run.WaitForExit(&code));
        EXPECT_EQ(code, 1u) << scenario.message;
    }
    EXPECT_EQ(ReceiverLog(), "");
}

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!e2e::ParseOptions(argc, argv)) {
        std::fprintf(stderr,
                     "usage: %s --app=<tarnrpt.exe> --receiver-dir=... --receiver-port=...\n",
                     argv[0]);
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&](const char* name) -> const char* {
            const size_t length = strlen(name);
            return argument.compare(0, length, name) == 0 ? argv[i] + length : nullptr;
        };
        if (const char* v = value("--receiver-dir="))
            e2e::g_receiver.dir = e2e::ToWindowsPath(v);
        if (const char* v = value("--receiver-port="))
            e2e::g_receiver.port = v;
        if (const char* v = value("--dead-port="))
            e2e::g_receiver.deadPort = v;
        if (const char* v = value("--tls-port="))
            e2e::g_receiver.tlsPort = v;
        if (const char* v = value("--planted="))
            e2e::g_receiver.planted = v;
        if (const char* v = value("--probe-dll="))
            e2e::g_receiver.probeDll = e2e::ToWindowsPath(v);
        if (const char* v = value("--plant-control=")) {
            e2e::g_receiver.plantControl = e2e::ToWindowsPath(v);
        }
    }
    if (e2e::g_receiver.dir.empty() || e2e::g_receiver.port.empty() ||
        e2e::g_receiver.deadPort.empty() || e2e::g_receiver.tlsPort.empty()) {
        std::fprintf(stderr, "the sample receiver options are missing\n");
        return 2;
    }
    if (GetACP() != 936) {
        std::fprintf(stderr, "ANSI code page is %u, not 936: set LANG=zh_CN.UTF-8\n", GetACP());
        return 3;
    }
    return RUN_ALL_TESTS();
}
