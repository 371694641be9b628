// The Windows resources as the programs find them: tkf.exe's version resource
// and icon read back from the built executable, and the program's resources
// (linked into this test, as into tallyk.exe) looked up by the names and types
// the program uses.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string kTkf = std::string(TALLYKEY_BINARY_DIR) + "/tkf.exe";

struct Version {
    unsigned major = 0, minor = 0, patch = 0;
};

Version ProjectVersion() {
    Version v;
    EXPECT_EQ(std::sscanf(TALLYKEY_VERSION, "%u.%u.%u", &v.major, &v.minor, &v.patch), 3);
    return v;
}

std::string OwnPath() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

// Reads an executable's version resource the way Explorer's properties do.
class VersionInfo {
public:
    explicit VersionInfo(const std::string& file) {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
        if (size == 0)
            return;
        data_.resize(size);
        if (!GetFileVersionInfoA(file.c_str(), 0, size, data_.data()))
            data_.clear();
    }
    bool Found() const { return !data_.empty(); }
    const VS_FIXEDFILEINFO* Fixed() {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(data_.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }
    std::string Text(const std::string& name) {
        void* value = nullptr;
        UINT length = 0;
        const std::string key = "\\StringFileInfo\\040904B0\\" + name;
        if (!VerQueryValueA(data_.data(), key.c_str(), &value, &length) || length == 0)
            return "(none)";
        return static_cast<const char*>(value);
    }

private:
    std::vector<char> data_;
};

void ExpectProjectVersion(const std::string& file, const std::string& originalName) {
    SCOPED_TRACE(file);
    VersionInfo info(file);
    ASSERT_TRUE(info.Found()) << "no version resource, error " << GetLastError();
    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const Version v = ProjectVersion();
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(v.minor, v.major));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, v.patch));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(info.Text("FileVersion"), TALLYKEY_VERSION);
    EXPECT_EQ(info.Text("ProductVersion"), TALLYKEY_VERSION);
    EXPECT_EQ(info.Text("OriginalFilename"), originalName);
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
    auto* list = reinterpret_cast<std::vector<std::string>*>(names);
    list->push_back(IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name);
    return TRUE;
}

std::vector<std::string> IconGroups(HMODULE module) {
    std::vector<std::string> names;
    EnumResourceNamesA(module, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

} // namespace

TEST(WindowsResources, TkfCarriesTheProjectVersionAndTheDatabaseIcon) {
    ExpectProjectVersion(kTkf, "tkf.exe");
    HMODULE tkf = LoadLibraryExA(kTkf.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(tkf, nullptr) << GetLastError();
    EXPECT_EQ(IconGroups(tkf), std::vector<std::string>{"TKFICON"});
    FreeLibrary(tkf);
}

TEST(WindowsResources, ProgramFindsEveryResourceByItsName) {
    ExpectProjectVersion(OwnPath(), "tallyk.exe");

    // The file type's DefaultIcon names the database icon by index 1.
    EXPECT_EQ(IconGroups(nullptr), (std::vector<std::string>{"MAINICON", "TKFICON"}));
    for (const char* name : {"MAINICON", "TKFICON"}) {
        HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_ICON, 16, 16, 0));
        EXPECT_NE(icon, nullptr) << name << " at 16 x 16";
        if (icon)
            DestroyIcon(icon);
    }

    struct Strip {
        const char* name;
        LONG width, height;
        WORD bitsPerPixel;
    };
    for (const Strip& strip : {Strip{"FORM1_IMAGELIST1", 42, 14, 4}, Strip{"FORM1_IMAGELIST2", 816, 16, 24}}) {
        SCOPED_TRACE(strip.name);
        HRSRC found = FindResourceA(nullptr, strip.name, RT_BITMAP);
        ASSERT_NE(found, nullptr);
        const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->biWidth, strip.width);
        EXPECT_EQ(header->biHeight, strip.height);
        EXPECT_EQ(header->biBitCount, strip.bitsPerPixel);
    }

    // Played from memory as it is, so the resource must be the whole wave file.
    HRSRC wave = FindResourceA(nullptr, "COPY_WAV", RT_RCDATA);
    ASSERT_NE(wave, nullptr) << "Wave resource not found.";
    const DWORD size = SizeofResource(nullptr, wave);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, wave)));
    ASSERT_NE(bytes, nullptr);
    ASSERT_GE(size, 12u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 4), "RIFF");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes) + 8, 4), "WAVE");
    const DWORD riffSize = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<DWORD>(bytes[7]) << 24;
    EXPECT_EQ(riffSize + 8, size);

    HRSRC manifest = FindResourceA(nullptr, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(nullptr, manifest))),
                           SizeofResource(nullptr, manifest));
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(text.find("asInvoker"), std::string::npos);
}
