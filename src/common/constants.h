// Fixed names shared by the whole program: options, file names, registry keys and value names.
#pragma once

namespace nebcm {

// Command-line options.
inline constexpr char RequestUninstallOption[] = "-RequestUninstall";
inline constexpr char PerformUninstallOption[] = "-PerformUninstall";

// Program files in the installation directory.
inline constexpr char ConfigurationManagerExe[] = "NebCM.exe";
inline constexpr char HelpFile[] = "NebCM.hlp";
inline constexpr char HelpContentsFile[] = "NebCM.cnt";
inline constexpr char HelpIndexFile[] = "NebCM.GID";
inline constexpr char PlatformIconFile[] = "NEB.ico";

// Directories.
inline constexpr char DefaultInstallationSubdirectory[] = "NEB\\20";

// The core extension.
inline constexpr char CoreExtensionName[] = "Core";
inline constexpr char CorePackageName[] = "System";
inline constexpr char JavaLauncherExe[] = "njava.exe";
inline constexpr char ComponentDatabaseFile[] = "neb.cdb";

// Shell.
inline constexpr char PlatformName20[] = "NEB 2.0";
inline constexpr char ConfigurationManagerShortcutName[] = "NEB Configuration Manager";
inline constexpr char UninstallShortcutName[] = "Uninstall NEB";

// The earlier 1.0 platform.
inline constexpr char LegacyLauncherExe[] = "neb.exe";
inline constexpr char PlatformName10[] = "NEB 1.0";
inline constexpr char LegacyComponentDatabaseFile[] = "neb.cdb";

// Registry keys. Written out in full so that each is one literal text.
inline constexpr char CompanyKey[] = "HKEY_LOCAL_MACHINE\\Software\\Tessaly";
inline constexpr char UninstallKeyRoot[] =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char Uninstall10Key[] =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NEB 1.0";
inline constexpr char Uninstall20Key[] =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NEB 2.0";
inline constexpr char Platform10Key[] = "HKEY_LOCAL_MACHINE\\Software\\Tessaly\\NEB\\1.0";
inline constexpr char Platform20Key[] = "HKEY_LOCAL_MACHINE\\Software\\Tessaly\\NEB\\2.0";
inline constexpr char Java10Key[] = "HKEY_LOCAL_MACHINE\\Software\\Tessaly\\NEB\\1.0\\Java";
inline constexpr char Java20Key[] = "HKEY_LOCAL_MACHINE\\Software\\Tessaly\\NEB\\2.0\\Java";

// Registry value names.
inline constexpr char DisplayNameValue[] = "DisplayName";
inline constexpr char UninstallStringValue[] = "UninstallString";
inline constexpr char InstallationPathValue[] = "InstallationPath";
inline constexpr char ComponentDatabaseValue[] = "ComponentDatabase";
inline constexpr char WindowXValue[] = "WindowX";
inline constexpr char WindowYValue[] = "WindowY";
inline constexpr char JavaTypeValue[] = "Type";
inline constexpr char JavaMSExeValue[] = "MSExe";
inline constexpr char JavaSunExeValue[] = "SunExe";
inline constexpr char JavaCustomCommandLineValue[] = "CustomCommandLine";

// File associations.
inline constexpr char DistributionSetExtensionKey[] = "HKEY_CLASSES_ROOT\\.nds";
inline constexpr char DistributionSetProgId[] = "NebDistributionSet";
inline constexpr char DistributionSetDescription[] = "NEB Distribution Set";
inline constexpr char ClassFileExtensionKey[] = "HKEY_CLASSES_ROOT\\.class";
inline constexpr char ClassFileProgId[] = "JavaClassFile";
inline constexpr char ClassFileDescription[] = "Java class file";
inline constexpr char ClassFileContentType[] = "java/*";
inline constexpr char ContentTypeValue[] = "Content Type";
inline constexpr char ClassesRootPrefix[] = "HKEY_CLASSES_ROOT\\";
inline constexpr char OpenCommandSubkey[] = "\\shell\\open\\command";
// The file types' own keys and their open commands, written out in full.
inline constexpr char DistributionSetTypeKey[] = "HKEY_CLASSES_ROOT\\NebDistributionSet";
inline constexpr char DistributionSetOpenCommandKey[] =
    "HKEY_CLASSES_ROOT\\NebDistributionSet\\shell\\open\\command";
inline constexpr char ClassFileTypeKey[] = "HKEY_CLASSES_ROOT\\JavaClassFile";
inline constexpr char ClassFileOpenCommandKey[] =
    "HKEY_CLASSES_ROOT\\JavaClassFile\\shell\\open\\command";

// The system search path.
inline constexpr char EnvironmentKey[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline constexpr char PathValue[] = "Path";
inline constexpr char AutoexecFile[] = "c:\\autoexec.bat";

} // namespace nebcm
