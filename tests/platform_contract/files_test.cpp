// Files: create, write, read back, sizes and information, the errors of a missing file or
// folder, sharing, CREATE_ALWAYS over an existing file, attributes and folders.
#include <gtest/gtest.h>

#include <cstring>

#include "contract_support.h"

namespace contract {
namespace {

// Closes a file handle when the test ends, however it ends.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle() {
        if (Valid()) CloseHandle(m_handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }

private:
    HANDLE m_handle;
};

HANDLE Open(const WideText& path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

const char kContent[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";
constexpr DWORD kContentSize = sizeof kContent - 1;

void WriteContent(const WideText& path) {
    FileHandle file(Open(path, GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(file.Valid()) << "cannot create " << Show(path) << ": " << GetLastError();
    DWORD written = kPoison;
    ASSERT_TRUE(WriteFile(file.Get(), kContent, kContentSize, &written, nullptr));
    ASSERT_EQ(written, kContentSize);
}

TEST(Files, WriteReadAndSizeRoundTrip) {
    ScratchFolder folder;
    const WideText path = folder.File(TEXT("model.inf"));
    SetLastError(kPoison);
    {
        FileHandle file(Open(path, GENERIC_WRITE, 0, CREATE_NEW));
        ASSERT_TRUE(file.Valid()) << "CREATE_NEW of a new file: " << GetLastError();
        DWORD written = kPoison;
        EXPECT_TRUE(WriteFile(file.Get(), kContent, 10, &written, nullptr));
        EXPECT_EQ(written, 10u);
        EXPECT_TRUE(WriteFile(file.Get(), kContent + 10, kContentSize - 10, &written, nullptr));
        EXPECT_EQ(written, kContentSize - 10) << "writes append at the file position";
        DWORD high = kPoison;
        EXPECT_EQ(GetFileSize(file.Get(), &high), kContentSize) << "the size seen while open";
        EXPECT_EQ(high, 0u);
    }

    FileHandle file(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    ASSERT_TRUE(file.Valid()) << "OPEN_EXISTING of the file just written: " << GetLastError();
    EXPECT_EQ(GetFileSize(file.Get(), nullptr), kContentSize) << "lpFileSizeHigh may be NULL";
    char buffer[128];
    std::memset(buffer, 0, sizeof buffer);
    DWORD read = kPoison;
    ASSERT_TRUE(ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, kContentSize) << "a read stops at the end of the file";
    EXPECT_EQ(std::string(buffer, read), std::string(kContent, kContentSize));
    read = kPoison;
    EXPECT_TRUE(ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr))
        << "reading at the end of a file succeeds";
    EXPECT_EQ(read, 0u) << "and reads nothing";

    BY_HANDLE_FILE_INFORMATION info;
    std::memset(&info, 0xcc, sizeof info);
    ASSERT_TRUE(GetFileInformationByHandle(file.Get(), &info)) << GetLastError();
    EXPECT_EQ(info.nNumberOfLinks, 1u) << "a new file has one link";
    EXPECT_EQ(info.nFileSizeLow, kContentSize);
    EXPECT_EQ(info.nFileSizeHigh, 0u);
    EXPECT_EQ(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << "a file is not a folder";
}

TEST(Files, MissingFileOrFolder) {
    ScratchFolder folder;
    SetLastError(kPoison);
    HANDLE file = Open(folder.File(TEXT("absent.inf")), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    DWORD error = GetLastError();
    EXPECT_EQ(file, INVALID_HANDLE_VALUE) << "OPEN_EXISTING of a missing file";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    SetLastError(kPoison);
    file = Open(folder.File(TEXT("absent\\model.inf")), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    error = GetLastError();
    EXPECT_EQ(file, INVALID_HANDLE_VALUE) << "a file in a missing folder";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    SetLastError(kPoison);
    file = Open(folder.File(TEXT("absent\\model.inf")), GENERIC_WRITE, 0, CREATE_ALWAYS);
    error = GetLastError();
    EXPECT_EQ(file, INVALID_HANDLE_VALUE) << "creating a file does not create its folder";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    SetLastError(kPoison);
    DWORD attributes = GetFileAttributesW(folder.File(TEXT("absent.inf")).c_str());
    error = GetLastError();
    EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES) << "attributes of a missing file";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    SetLastError(kPoison);
    attributes = GetFileAttributesW(folder.File(TEXT("absent\\model.inf")).c_str());
    error = GetLastError();
    EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES) << "attributes of a file in a missing folder";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(Files, SharingModes) {
    ScratchFolder folder;
    const WideText path = folder.File(TEXT("shared.inf"));
    WriteContent(path);

    {
        FileHandle exclusive(Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING));
        ASSERT_TRUE(exclusive.Valid()) << GetLastError();
        SetLastError(kPoison);
        HANDLE second = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
        DWORD error = GetLastError();
        EXPECT_EQ(second, INVALID_HANDLE_VALUE) << "the first open shares nothing";
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    }
    {
        FileHandle reader(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
        ASSERT_TRUE(reader.Valid()) << GetLastError();
        FileHandle secondReader(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
        EXPECT_TRUE(secondReader.Valid()) << "two readers that both share reading: " << GetLastError();
        SetLastError(kPoison);
        HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
        DWORD error = GetLastError();
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the readers do not share writing";
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    }
    FileHandle again(Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING));
    EXPECT_TRUE(again.Valid()) << "once every handle is closed the file opens exclusively again";
}

TEST(Files, CreationDispositionsReportExistingFiles) {
    ScratchFolder folder;
    const WideText path = folder.File(TEXT("driver.dll"));

    SetLastError(kPoison);
    {
        FileHandle created(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
        DWORD error = GetLastError();
        ASSERT_TRUE(created.Valid());
        EXPECT_EQ(error, 0u) << "CREATE_ALWAYS of a new file sets the last error to zero";
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(created.Get(), kContent, kContentSize, &written, nullptr));
    }
    SetLastError(kPoison);
    {
        FileHandle replaced(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
        DWORD error = GetLastError();
        ASSERT_TRUE(replaced.Valid()) << "CREATE_ALWAYS over an existing file succeeds";
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS))
            << "and reports that the file existed";
        EXPECT_EQ(GetFileSize(replaced.Get(), nullptr), 0u) << "the old content is gone";
    }
    SetLastError(kPoison);
    {
        FileHandle opened(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS));
        DWORD error = GetLastError();
        ASSERT_TRUE(opened.Valid());
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS))
            << "OPEN_ALWAYS of an existing file reports that it existed";
    }
    SetLastError(kPoison);
    HANDLE refused = Open(path, GENERIC_WRITE, 0, CREATE_NEW);
    DWORD error = GetLastError();
    EXPECT_EQ(refused, INVALID_HANDLE_VALUE) << "CREATE_NEW of an existing file";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_EXISTS));
    if (refused != INVALID_HANDLE_VALUE) CloseHandle(refused);
}

TEST(Files, FoldersAndAttributes) {
    ScratchFolder folder;
    SetLastError(kPoison);
    DWORD attributes = GetFileAttributesW(folder.Path().c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << GetLastError();
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << "a folder has the directory attribute";

    const WideText sub = folder.File(TEXT("Drivers"));
    SetLastError(kPoison);
    EXPECT_TRUE(CreateDirectoryW(sub.c_str(), nullptr)) << GetLastError();
    SetLastError(kPoison);
    BOOL ok = CreateDirectoryW(sub.c_str(), nullptr);
    DWORD error = GetLastError();
    EXPECT_FALSE(ok) << "creating a folder twice";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    SetLastError(kPoison);
    ok = CreateDirectoryW(folder.File(TEXT("Missing\\Deeper")).c_str(), nullptr);
    error = GetLastError();
    EXPECT_FALSE(ok) << "CreateDirectoryW makes one level only";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    const WideText file = folder.File(TEXT("Drivers\\model.inf"));
    WriteContent(file);
    attributes = GetFileAttributesW(file.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << "a file is not a folder";
    SetLastError(kPoison);
    ok = CreateDirectoryW(file.c_str(), nullptr);
    error = GetLastError();
    EXPECT_FALSE(ok) << "a folder cannot take the name of a file";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    EXPECT_TRUE(DeleteFileW(file.c_str())) << GetLastError();
    SetLastError(kPoison);
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "the file is deleted";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace contract
