user_pref("browser.search.defaultenginename", "Orrisk");
user_pref("badÿş", "Ã(");
user_pref("x", "unterminated);
