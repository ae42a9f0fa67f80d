// Debian's Chromium, headless, driven by playwright-core: shared by the browser test and the
// bench's browser run. Nothing is downloaded; the browser is the system's.
import { chromium } from 'playwright-core';

export const CHROMIUM = process.env.TARN_CHROMIUM ?? '/usr/bin/chromium';

// Playwright gives every launch a fresh profile folder of its own. The flags keep the browser
// quiet on a machine without network, GPU or sandbox (CI runs as root).
export function launchChromium() {
  return chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    chromiumSandbox: false,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
}
