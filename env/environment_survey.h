#pragma once

struct LaunchSettings;

// Writes the block of machine information that support staff read from the
// debug log: installed product, package to install, launcher type, operating
// system and the Security Center's anti-virus, anti-spyware and firewall
// products. Failures become error entries; the block always goes to the end.
void WriteEnvironmentSurvey(const LaunchSettings& settings);
