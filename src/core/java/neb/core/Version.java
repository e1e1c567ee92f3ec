// A platform version: major and minor number, written "2.00".
package neb.core;

public final class Version implements Comparable<Version> {
    private final int major;
    private final int minor;

    public Version(int major, int minor) {
        if (major < 0 || minor < 0 || minor > 99) {
            throw new IllegalArgumentException("version " + major + "." + minor);
        }
        this.major = major;
        this.minor = minor;
    }

    // "2", "2.5" and "2.05" are 2.00, 2.50 and 2.05.
    public static Version parse(String text) {
        int dot = text.indexOf('.');
        if (dot < 0) {
            return new Version(Integer.parseInt(text.trim()), 0);
        }
        String fraction = text.substring(dot + 1).trim();
        int minor = fraction.length() == 0 ? 0 : Integer.parseInt(fraction);
        if (fraction.length() == 1) {
            minor *= 10;
        }
        return new Version(Integer.parseInt(text.substring(0, dot).trim()), minor);
    }

    public int compareTo(Version other) {
        return major != other.major ? major - other.major : minor - other.minor;
    }

    public boolean equals(Object other) {
        return other instanceof Version && compareTo((Version) other) == 0;
    }

    public int hashCode() {
        return major * 100 + minor;
    }

    public String toString() {
        return major + "." + (minor < 10 ? "0" : "") + minor;
    }
}
