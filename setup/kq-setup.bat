@echo off
rem The installer of Kaquin Debugger is compiled from this file by setup.exe, with the
rem files laid out in the SOURCE folder as they are to be installed, and the pictures and
rem the licence text in the current folder:
rem   setup.exe -PACK=kq-setup -OUT=kq-setup.exe -SOURCE=kq-package
setup.exe -PACK=%~n0 -OUT=kq-setup.exe -SOURCE=%1
goto :eof
#pack
set $COMPANY = "Kaquin";
set $PRODUCT = "Kaquin Debugger";
set $REGKEY = "Kaquin Debugger";
set $FOLDER = "Kaquin Debugger";
set $LOGO = "logo.gif";
set $HEADER = "header.gif";
set $LICENSE = "license.txt";

# The debugger with its map file (names in traces and crash reports), the default screen
# layout it reads from its folder, and the plug-in interface for those who write plug-ins.
file kq.exe;
file kq.map;
file .layout;
file kqplugin.h;
# The debug-information plug-ins, loaded from the "plugin" folder beside the debugger.
file plugin\*.dll;
file plugin\*.map;
# Written by the debugger as it runs.
temp kq.log;

menu "$PRODUCT", kq.exe;
menu "Plug-in interface", kqplugin.h;
desk "$PRODUCT", kq.exe;

local InstallPath, "$PATH";
local InstallDate, "$DATE $TIME";
