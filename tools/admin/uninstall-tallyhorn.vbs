' Uninstalls every Tallyhorn package on this computer, found by its upgrade code. Exit status:
' 0 (also when none was installed), else the first failing msiexec status.
Set installer = CreateObject("WindowsInstaller.Installer")
Set shell = CreateObject("WScript.Shell")
logFile = shell.ExpandEnvironmentStrings("%SystemRoot%\Temp\Tallyhorn-remove.log")
status = 0
For Each upgradeCode In Array("{7039147B-A3CA-4EEB-9025-EA973C9B7E45}", "{0E55601D-01E6-4A7B-B2F3-A7324D89D80A}")
  For Each product In installer.RelatedProducts(upgradeCode)
    code = shell.Run("msiexec /x " & product & " /qn /l*v """ & logFile & """", 0, True)
    WScript.Echo "msiexec /x " & product & ": " & code
    If code <> 0 And code <> 3010 And status = 0 Then status = code
  Next
Next
WScript.Quit status
