// Component database text from a configuration.
#include "model/component_database_writer.h"

namespace nebcm {

namespace {

// Values always travel as arguments, never as the format: a '%' in a description is just text.
void WriteCommon(const Extension& e, TextOutputStream& out) {
    out.Print("Version=%s\n", e.Version().ToText().c_str());
    out.Print("Description=%s\n", e.Description().c_str());
    out.Print("Copyright=%s\n", e.Copyright().c_str());
    for (std::size_t i = 0; i < e.FileCount(); ++i) {
        const ExtensionFile& f = e.FileAt(i);
        if (f.Shortcut().empty()) {
            out.Print("File=%s\n", f.Path().c_str());
        } else {
            out.Print("File=%s;%s\n", f.Path().c_str(), f.Shortcut().c_str());
        }
    }
}

void WriteCore(const Core& core, TextOutputStream& out) {
    out.Print("[Core]\n");
    WriteCommon(core, out);
    out.Print("Base=%s\n", core.Base().c_str());
    out.Print("JavaDispatcher=%s\n", core.JavaDispatcher().c_str());
}

void WriteExtension(const Extension& e, TextOutputStream& out) {
    out.Print("[%s:%s]\n", SectionWord(e.Kind()), e.Name().c_str());
    WriteCommon(e, out);
    if (e.Kind() == ExtensionKind::Component) {
        out.Print("ServiceClass=%s\n", static_cast<const Component&>(e).ServiceClass().c_str());
    }
    out.Print("Package=%s\n", e.Package().c_str());
    for (std::size_t i = 0; i < e.DependencyCount(); ++i) {
        out.Print("%s\n", e.DependencyAt(i).ToText().c_str());
    }
    for (std::size_t i = 0; i < e.ExternalCount(); ++i) {
        out.Print("%s\n", e.ExternalAt(i).ToText().c_str());
    }
}

} // namespace

bool ComponentDatabaseWriter::Write(const Configuration& configuration, TextOutputStream& out) {
    for (std::size_t i = 0; i < configuration.Count(); ++i) {
        const Extension& e = configuration.At(i);
        if (e.Kind() == ExtensionKind::Core) {
            WriteCore(static_cast<const Core&>(e), out);
        } else {
            WriteExtension(e, out);
        }
        out.Print("\n");
    }
    return true;
}

} // namespace nebcm
