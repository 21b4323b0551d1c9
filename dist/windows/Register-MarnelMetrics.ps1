# Registers a scheduled task that writes every Zarvel unit's metrics for
# windows_exporter's textfile collector every 5 minutes, as SYSTEM.
# Run it in an elevated PowerShell:
#     .\Register-MarnelMetrics.ps1
#     .\Register-MarnelMetrics.ps1 -TextfileDir 'D:\exporter\textfile_inputs'
# Each unit's last change is read from the history of the account the task
# runs as; set MARNEL_STATE_DIR as a machine variable to read another.
# Remove the task with: Unregister-ScheduledTask -TaskName 'Marnel metrics'
param(
    [string]$Marnel = (Join-Path $env:ProgramFiles 'Marnel\marnel.com'),
    [string]$TextfileDir = (Join-Path $env:ProgramFiles 'windows_exporter\textfile_inputs'),
    [string]$TaskName = 'Marnel metrics'
)
$ErrorActionPreference = 'Stop'

if (-not (Test-Path -LiteralPath $Marnel -PathType Leaf)) {
    throw "marnel.com is not at $Marnel; give its path with -Marnel"
}
# A trailing backslash would escape the closing quote of the argument.
$folder = $TextfileDir.TrimEnd('\')
$action = New-ScheduledTaskAction -Execute $Marnel -Argument "metrics --textfile `"$folder`""
$trigger = New-ScheduledTaskTrigger -Once -At (Get-Date) `
    -RepetitionInterval (New-TimeSpan -Minutes 5)
$principal = New-ScheduledTaskPrincipal -UserId 'SYSTEM' -LogonType ServiceAccount -RunLevel Highest
$settings = New-ScheduledTaskSettingsSet -ExecutionTimeLimit (New-TimeSpan -Minutes 4) `
    -MultipleInstances IgnoreNew -StartWhenAvailable
Register-ScheduledTask -TaskName $TaskName -Action $action -Trigger $trigger `
    -Principal $principal -Settings $settings -Force | Out-Null
Write-Output "Registered '$TaskName': $Marnel metrics --textfile `"$folder`" every 5 minutes"
