// Reports the resources of a Windows program as Windows itself finds them:
// icon group 101's images from the resource directory and the icon LoadIconA
// makes of them; with a program named, also its version resource's strings
// and its manifest's text. With no argument it looks at its own icon.
//
//   helicoid-icon-probe [PROGRAM.exe]
//
// Prints one line per fact and exits 0; prints the failing call and exits 1.
#include <windows.h>

#include <stdio.h>

namespace {

int Fail(const char* what) {
  printf("FAILED: %s (error %lu)\n", what, (unsigned long)GetLastError());
  return 1;
}

// The version resource as GetFileVersionInfoA reads it, then the manifest.
int PrintVersionAndManifest(const char* path, HMODULE module) {
  static BYTE info[16384];
  DWORD size = GetFileVersionInfoSizeA(path, NULL);
  if (size == 0 || size > sizeof info || !GetFileVersionInfoA(path, 0, size, info))
    return Fail("GetFileVersionInfoA");
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  if (!VerQueryValueA(info, "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed)
    return Fail("VerQueryValueA(fixed)");
  printf("version numbers: %lu.%lu.%lu.%lu\n", (unsigned long)HIWORD(fixed->dwFileVersionMS),
         (unsigned long)LOWORD(fixed->dwFileVersionMS),
         (unsigned long)HIWORD(fixed->dwFileVersionLS),
         (unsigned long)LOWORD(fixed->dwFileVersionLS));
  const char* names[] = {"ProductName", "FileDescription", "ProductVersion", "LegalCopyright"};
  for (const char* name : names) {
    char query[80];
    snprintf(query, sizeof query, "\\StringFileInfo\\040904B0\\%s", name);
    char* value = NULL;
    if (!VerQueryValueA(info, query, reinterpret_cast<void**>(&value), &length) || !value)
      return Fail(query);
    printf("version %s: [%s]\n", name, value);
  }
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  const char* text =
      found ? static_cast<const char*>(LockResource(LoadResource(module, found))) : NULL;
  if (!text) return Fail("FindResourceA(1, RT_MANIFEST)");
  printf("manifest:\n%.*s\n", (int)SizeofResource(module, found), text);

  // The setting as Windows takes it from the manifest when the program starts:
  // through the activation context it builds from the resource.
  ACTCTXA context;
  ZeroMemory(&context, sizeof context);
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = path;
  context.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE actctx = CreateActCtxA(&context);
  if (actctx == INVALID_HANDLE_VALUE) return Fail("CreateActCtxA(manifest)");
  typedef BOOL(WINAPI * QuerySettings)(DWORD, HANDLE, const WCHAR*, const WCHAR*, WCHAR*, SIZE_T,
                                       SIZE_T*);
  QuerySettings query = reinterpret_cast<QuerySettings>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW")));
  WCHAR setting[64] = {0};
  SIZE_T written = 0;
  if (!query || !query(0, actctx, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                       L"dpiAware", setting, 64, &written))
    return Fail("QueryActCtxSettingsW(dpiAware)");
  printf("dpiAware: [%ls]\n", setting);
  ReleaseActCtx(actctx);
  return 0;
}

#pragma pack(push, 2)
struct GroupEntry {  // an image of an icon group, as stored in the resource
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct GroupHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

}  // namespace

int main(int argc, char** argv) {
  HMODULE module = GetModuleHandleA(NULL);
  if (argc > 1) {
    module = LoadLibraryExA(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return Fail("LoadLibraryExA");
  }

  HRSRC found =
      FindResourceA(module, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  if (!found) return Fail("FindResourceA(101, RT_GROUP_ICON)");
  const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  DWORD groupSize = SizeofResource(module, found);
  if (!group || groupSize < sizeof(GroupHeader)) return Fail("LoadResource(group 101)");
  const GroupHeader* header = reinterpret_cast<const GroupHeader*>(group);
  if (groupSize < sizeof(GroupHeader) + header->count * sizeof(GroupEntry))
    return Fail("group 101 is shorter than its directory");
  printf("group 101: %u images\n", header->count);
  const GroupEntry* entries = reinterpret_cast<const GroupEntry*>(group + sizeof(GroupHeader));
  for (unsigned i = 0; i < header->count; ++i) {
    const GroupEntry& e = entries[i];
    // The image itself starts with its bitmap header; read its bit count too.
    HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(e.id), MAKEINTRESOURCEA(3));  // RT_ICON
    const BYTE* bits =
        image ? static_cast<const BYTE*>(LockResource(LoadResource(module, image))) : NULL;
    if (!bits) return Fail("FindResourceA(RT_ICON)");
    const BITMAPINFOHEADER* info = reinterpret_cast<const BITMAPINFOHEADER*>(bits);
    unsigned colours = e.colourCount ? e.colourCount : 1u << info->biBitCount;
    printf("image %u: %u x %u, %u bits, %u colours\n", i, e.width ? e.width : 256u,
           e.height ? e.height : 256u, (unsigned)info->biBitCount, colours);
  }

  HICON icon = LoadIconA(module, MAKEINTRESOURCEA(101));
  if (!icon) return Fail("LoadIconA(101)");
  ICONINFO iconInfo;
  if (!GetIconInfo(icon, &iconInfo)) return Fail("GetIconInfo");
  BITMAP bitmap;
  if (!iconInfo.hbmColor || !GetObjectA(iconInfo.hbmColor, sizeof bitmap, &bitmap))
    return Fail("GetObjectA(icon colour bitmap)");
  printf("LoadIconA 101: %ld x %ld\n", (long)bitmap.bmWidth, (long)bitmap.bmHeight);

  // The top-left pixel as the icon holds it: the picture's background.
  BITMAPINFO want;
  ZeroMemory(&want, sizeof want);
  want.bmiHeader.biSize = sizeof want.bmiHeader;
  want.bmiHeader.biWidth = bitmap.bmWidth;
  want.bmiHeader.biHeight = -bitmap.bmHeight;  // top row first
  want.bmiHeader.biPlanes = 1;
  want.bmiHeader.biBitCount = 32;
  want.bmiHeader.biCompression = BI_RGB;
  static DWORD pixels[256 * 256];
  if (bitmap.bmWidth > 256 || bitmap.bmHeight > 256) return Fail("icon larger than 256 x 256");
  HDC screen = GetDC(NULL);
  int rows =
      GetDIBits(screen, iconInfo.hbmColor, 0, bitmap.bmHeight, pixels, &want, DIB_RGB_COLORS);
  ReleaseDC(NULL, screen);
  if (rows != bitmap.bmHeight) return Fail("GetDIBits");
  DWORD corner = pixels[0];
  printf("corner pixel: %lu,%lu,%lu\n", (unsigned long)(corner >> 16 & 0xff),
         (unsigned long)(corner >> 8 & 0xff), (unsigned long)(corner & 0xff));
  return argc > 1 ? PrintVersionAndManifest(argv[1], module) : 0;
}
