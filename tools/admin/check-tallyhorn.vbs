' The installation check as a compliance value, run as SYSTEM: prints the check's exit status
' (0 compliant; else the sum of 2 installation, 4 no monitor, 8 no server), or -1 when no
' Tallyhorn package is installed.
Set installer = CreateObject("WindowsInstaller.Installer")
Set shell = CreateObject("WScript.Shell")
status = -1
For Each upgradeCode In Array("{7039147B-A3CA-4EEB-9025-EA973C9B7E45}", "{0E55601D-01E6-4A7B-B2F3-A7324D89D80A}")
  For Each product In installer.RelatedProducts(upgradeCode)
    folder = installer.ProductInfo(product, "InstallLocation")
    status = shell.Run("""" & folder & "Tallyhorn_Harness.exe"" --check", 0, True)
  Next
Next
WScript.Echo status
