// Mozilla User Preferences

/* a block
user_pref("in.comment", 1);
*/
user_pref("browser.startup.homepage", "http://www.umberlook.example/start");
user_pref("browser.startup.page", 1);
user_pref("a.b", true); // trailing
pref('x', "\u00e9\x41\"q");
