' automation.vbs PORT - drives Qovclient.Application as another program would:
' creates it, reads and sets its properties, calls Run against the scripted
' server on PORT, and checks the second Run's error. Wine's script host prints
' nothing and ends with 0 on a script error, so every step checks Err itself
' and the last line "AUTOMATION DONE" tells the test that all steps ran.
Option Explicit
On Error Resume Next

Dim port, app, value
port = CLng(WScript.Arguments(0))

Sub Fail(text)
    WScript.Echo "FAIL: " & text
    WScript.Quit 1
End Sub

Sub Check(what)
    If Err.Number <> 0 Then Fail what & ": error " & Hex(Err.Number) & " " & Err.Description
End Sub

Sub Expect(what, got, want)
    If CStr(got) <> CStr(want) Then Fail what & " is """ & got & """, expected """ & want & """"
End Sub

Set app = CreateObject("Qovclient.Application")
Check "CreateObject"
value = app.Name
Check "Name"
Expect "Name", value, "Qovclient"
value = app
Check "the default member"
Expect "the default member", value, "Qovclient"
value = LCase(app.FullName)
Check "FullName"
If Right(value, 14) <> "\qovtervex.exe" Then Fail "FullName is " & value
value = app.ServerPort
Check "ServerPort"
Expect "ServerPort before a put", value, 3933
value = app.Application.Name
Check "Application"
Expect "Application.Name", value, "Qovclient"

app.ServerAddr = "127.0.0.1"
Check "ServerAddr put"
app.ServerPort = port
Check "ServerPort put"
app.PublicKey = "k1"
Check "PublicKey put"
Expect "ServerAddr", app.ServerAddr, "127.0.0.1"
Expect "PublicKey", app.PublicKey, "k1"
app.ServerPort = 70000
If Err.Number = 0 Then Fail "ServerPort 70000 was taken"
Err.Clear
Expect "ServerPort after a refused put", app.ServerPort, port

app.Run "orders.qoc first second"
Check "Run"
app.Run "other.qoc"
Expect "second Run: number", Err.Number, &H80040202
Expect "second Run: description", Err.Description, "Only one program may be executed using the Run method."
Expect "second Run: source", Err.Source, "Qovclient.Application"
Err.Clear
Set app = Nothing
WScript.Echo "AUTOMATION DONE"
