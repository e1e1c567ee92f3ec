// Details dialogs of extensions: texts in, nothing out but OK.
#include "ui/details_dialogs.h"

#include "common/messages.h"
#include "ui/extension_tree.h"
#include "ui/resource.h"

namespace nebcm::ui {

namespace {
int CategoryMessage(ExtensionKind kind) {
    switch (kind) {
    case ExtensionKind::Core:
        return 4004;
    case ExtensionKind::Library:
        return 4005;
    case ExtensionKind::Component:
        return 4006;
    case ExtensionKind::Application:
        break;
    }
    return 4007;
}
} // namespace

ExtensionDetailsDialog::ExtensionDetailsDialog(std::string category, std::string name,
                                               std::string version, std::string description,
                                               std::string copyright, std::string package,
                                               std::string serviceClass, std::string files,
                                               std::string size, std::string diskSpace, HWND parent)
    : Dialog(IDD_EXTENSION_DETAILS, parent), category_(std::move(category)), name_(std::move(name)),
      version_(std::move(version)), description_(std::move(description)),
      copyright_(std::move(copyright)), package_(std::move(package)),
      serviceClass_(std::move(serviceClass)), files_(std::move(files)), size_(std::move(size)),
      diskSpace_(std::move(diskSpace)) {}

ExtensionDetailsDialog ExtensionDetailsDialog::For(const Extension& e,
                                                   const DetailsFigures& figures, HWND parent) {
    bool core = e.Kind() == ExtensionKind::Core;
    std::string serviceClass;
    if (e.Kind() == ExtensionKind::Component) {
        serviceClass = static_cast<const Component&>(e).ServiceClass();
    }
    return ExtensionDetailsDialog(Message(CategoryMessage(e.Kind())), core ? "" : e.Name(),
                                  e.Version().ToText(), e.Description(), e.Copyright(), e.Package(),
                                  serviceClass, figures.files, figures.size, figures.diskSpace,
                                  parent);
}

bool ExtensionDetailsDialog::OnInitDialog() {
    SetItemText(IDC_DETAILS_CATEGORY, category_);
    SetItemText(IDC_DETAILS_NAME, name_);
    SetItemText(IDC_DETAILS_VERSION, version_);
    SetItemText(IDC_DETAILS_DESCRIPTION, description_);
    SetItemText(IDC_DETAILS_COPYRIGHT, copyright_);
    SetItemText(IDC_DETAILS_PACKAGE, package_);
    SetItemText(IDC_DETAILS_SERVICE_CLASS, serviceClass_);
    SetItemText(IDC_DETAILS_FILES, files_);
    SetItemText(IDC_DETAILS_SIZE, size_);
    SetItemText(IDC_DETAILS_DISK_SPACE, diskSpace_);
    ShowItem(IDC_DETAILS_NAME, !name_.empty());
    ShowItem(IDC_DETAILS_SERVICE_CLASS, !serviceClass_.empty());
    ShowItem(IDC_DETAILS_SERVICE_CLASS_LABEL, !serviceClass_.empty());
    return true;
}

ExtensionSetDetailsDialog::ExtensionSetDetailsDialog(std::string title, std::string libraries,
                                                     std::string components,
                                                     std::string applications, std::string files,
                                                     std::string size, std::string diskSpace,
                                                     HWND parent)
    : Dialog(IDD_EXTENSION_SET_DETAILS, parent), title_(std::move(title)),
      libraries_(std::move(libraries)), components_(std::move(components)),
      applications_(std::move(applications)), files_(std::move(files)), size_(std::move(size)),
      diskSpace_(std::move(diskSpace)) {}

bool ExtensionSetDetailsDialog::OnInitDialog() {
    SetItemText(IDC_DETAILS_SET_NAME, title_);
    SetItemText(IDC_DETAILS_LIBRARIES, libraries_);
    SetItemText(IDC_DETAILS_COMPONENTS, components_);
    SetItemText(IDC_DETAILS_APPLICATIONS, applications_);
    SetItemText(IDC_DETAILS_FILES, files_);
    SetItemText(IDC_DETAILS_SIZE, size_);
    SetItemText(IDC_DETAILS_DISK_SPACE, diskSpace_);
    return true;
}

} // namespace nebcm::ui
