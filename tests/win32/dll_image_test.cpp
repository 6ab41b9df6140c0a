// The shipped Talvex.dll as Windows sees it: its export table, its imports and
// its version resource, read from the loaded image and the file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace {

struct LoadedDll {
    HMODULE module = LoadLibraryA(TALVEX_PLUGIN_FILE);
    ~LoadedDll() {
        if (module != nullptr) FreeLibrary(module);
    }
    const unsigned char* base() const { return reinterpret_cast<const unsigned char*>(module); }
    const IMAGE_NT_HEADERS32* headers() const {
        auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base());
        return reinterpret_cast<const IMAGE_NT_HEADERS32*>(base() + dos->e_lfanew);
    }
    const IMAGE_DATA_DIRECTORY& directory(int which) const {
        return headers()->OptionalHeader.DataDirectory[which];
    }
};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST(DllImage, IsA32BitDll) {
    LoadedDll dll;
    ASSERT_NE(dll.module, nullptr);
    EXPECT_EQ(dll.headers()->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(dll.headers()->FileHeader.Characteristics & IMAGE_FILE_DLL);
}

TEST(DllImage, ExportsExactlyTheTwoEntryPoints) {
    LoadedDll dll;
    ASSERT_NE(dll.module, nullptr);
    const IMAGE_DATA_DIRECTORY& dir = dll.directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(dir.VirtualAddress, 0u);
    auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(dll.base() + dir.VirtualAddress);
    std::set<std::string> names;
    auto* nameRvas = reinterpret_cast<const DWORD*>(dll.base() + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(dll.base() + nameRvas[i]));
    EXPECT_EQ(exports->NumberOfFunctions, 2u);
    EXPECT_EQ(names, (std::set<std::string>{"getPluginVersion", "initializePlugin"}));
    EXPECT_NE(GetProcAddress(dll.module, "getPluginVersion"), nullptr);
    EXPECT_NE(GetProcAddress(dll.module, "initializePlugin"), nullptr);
}

TEST(DllImage, ImportsOnlyWindowsSystemLibraries) {
    LoadedDll dll;
    ASSERT_NE(dll.module, nullptr);
    const std::set<std::string> system = {"kernel32.dll", "msvcrt.dll",   "user32.dll",
                                          "gdi32.dll",    "opengl32.dll", "advapi32.dll"};
    const IMAGE_DATA_DIRECTORY& dir = dll.directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    auto* import =
        reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(dll.base() + dir.VirtualAddress);
    std::vector<std::string> imported;
    for (; import->Name != 0; ++import)
        imported.push_back(lower(reinterpret_cast<const char*>(dll.base() + import->Name)));
    EXPECT_FALSE(imported.empty());
    for (const std::string& name : imported) EXPECT_TRUE(system.count(name)) << "imports " << name;
}

std::string versionString(const std::vector<char>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        return "";
    return std::string(value);
}

TEST(DllImage, CarriesTheVersionResource) {
    const DWORD size = GetFileVersionInfoSizeA(TALVEX_PLUGIN_FILE, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(TALVEX_PLUGIN_FILE, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0u);
    EXPECT_EQ(fixed->dwFileVersionLS, 4u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0u);
    EXPECT_EQ(fixed->dwProductVersionLS, 4u);
    EXPECT_EQ(versionString(block, "FileVersion"), "0.0.0.4");
    EXPECT_EQ(versionString(block, "ProductVersion"), "0.0.0.4");
    EXPECT_EQ(versionString(block, "FileDescription"), "Talvex Dynamic Link Library");
}

}  // namespace
