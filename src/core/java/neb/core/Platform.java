// The platform's identity: its name and version, shown when the core itself is started.
package neb.core;

public final class Platform {
    public static final String NAME = "NEB 2.0";
    public static final Version VERSION = new Version(2, 0);

    private Platform() {
    }

    // The installation directory, as the launcher passes it; the working directory otherwise.
    public static String base() {
        String base = System.getProperty("neb.base");
        return base != null ? base : System.getProperty("user.dir");
    }

    public static void main(String[] args) {
        System.out.println(NAME + " Core " + VERSION);
        System.out.println("Base: " + base());
    }
}
