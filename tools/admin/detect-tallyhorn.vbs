' Detection of Tallyhorn by its upgrade code, at a version or later. A line means installed;
' no line means not installed. The exit status is 0 either way.
Const UpgradeCode = "{0E55601D-01E6-4A7B-B2F3-A7324D89D80A}" ' x64; x86: {7039147B-A3CA-4EEB-9025-EA973C9B7E45}
Const Wanted = "1.2.0"
Set installer = CreateObject("WindowsInstaller.Installer")
For Each product In installer.RelatedProducts(UpgradeCode)
  version = installer.ProductInfo(product, "VersionString")
  If AtLeast(Split(version, "."), Split(Wanted, ".")) Then WScript.Echo "Tallyhorn " & version & " " & product
Next

Function AtLeast(have, need)
  AtLeast = True
  For i = 0 To 2
    If CLng(have(i)) <> CLng(need(i)) Then AtLeast = CLng(have(i)) > CLng(need(i)) : Exit Function
  Next
End Function
