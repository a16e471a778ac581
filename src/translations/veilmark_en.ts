<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AppState</name>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <comment>problems of a document</comment>
        <translation>
            <numerusform>%1 and %n more</numerusform>
            <numerusform>%1 and %n more</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>AttemptBackoff</name>
    <message numerus="yes">
        <source>Try again in %n seconds</source>
        <translation>
            <numerusform>Try again in %n second</numerusform>
            <numerusform>Try again in %n seconds</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Try again in %n minutes</source>
        <translation>
            <numerusform>Try again in %n minute</numerusform>
            <numerusform>Try again in %n minutes</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FolderProtectionEngine</name>
    <message numerus="yes">
        <source>%n folders</source>
        <translation>
            <numerusform>%n folder</numerusform>
            <numerusform>%n folders</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <comment>processes</comment>
        <translation>
            <numerusform>%1 and %n more</numerusform>
            <numerusform>%1 and %n more</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>MenuBarView</name>
    <message numerus="yes">
        <source>%n locked</source>
        <translation>
            <numerusform>%n locked</numerusform>
            <numerusform>%n locked</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PromptAuthenticator</name>
    <message numerus="yes">
        <source>%1 — %n failed attempts in a row, the next waits %2 s</source>
        <translation>
            <numerusform>%1 — %n failed attempt in a row, the next waits %2 s</numerusform>
            <numerusform>%1 — %n failed attempts in a row, the next waits %2 s</numerusform>
        </translation>
    </message>
</context>
</TS>
