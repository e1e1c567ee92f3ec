// Starts a platform application: the class named first, with the remaining arguments.
package neb.core;

import java.lang.reflect.Method;

public final class Launcher {
    private Launcher() {
    }

    public static void main(String[] args) throws Exception {
        if (args.length == 0) {
            System.err.println("usage: neb.core.Launcher CLASS [ARGUMENTS...]");
            System.exit(2);
        }
        String[] rest = new String[args.length - 1];
        System.arraycopy(args, 1, rest, 0, rest.length);
        Class<?> application = Class.forName(args[0]);
        Method main = application.getMethod("main", new Class<?>[] {String[].class});
        main.invoke(null, new Object[] {rest});
    }
}
