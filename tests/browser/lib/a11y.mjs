// Accessibility checks on the page a test has open: accessible names from
// Chromium's own accessibility tree, contrast of the text as rendered, and
// where the keyboard's Tab key goes.

const CONTROLS = 'input:not([type="hidden"]), select, textarea, button';

// Every form control and every link that is rendered, with the accessible
// name Chromium computes for it (Accessibility.getPartialAXTree over CDP).
// Folded <details> are opened first, so their fields count as well.
export async function accessibleNames(page) {
  await page.evaluate(() => {
    for (const details of document.querySelectorAll('details')) details.open = true;
  });
  const cdp = await page.context().newCDPSession(page);
  try {
    await cdp.send('DOM.enable');
    await cdp.send('Accessibility.enable');
    const { root } = await cdp.send('DOM.getDocument', { depth: 0 });
    const { nodeIds } = await cdp.send('DOM.querySelectorAll', {
      nodeId: root.nodeId,
      selector: `${CONTROLS}, a[href]`,
    });
    const result = [];
    for (const nodeId of nodeIds) {
      const { nodes } = await cdp.send('Accessibility.getPartialAXTree', { nodeId, fetchRelatives: false });
      const node = nodes.find((n) => !n.ignored) ?? nodes[0];
      if (!node || node.ignored) {
        continue; // not rendered (e.g. inside <noscript> or display: none)
      }
      const { outerHTML } = await cdp.send('DOM.getOuterHTML', { nodeId });
      result.push({
        role: node.role?.value ?? '',
        name: (node.name?.value ?? '').trim(),
        html: outerHTML.slice(0, 160),
      });
    }
    return result;
  } finally {
    await cdp.detach().catch(() => {});
  }
}

// The controls and links whose accessible name is empty.
export async function unnamedControls(page) {
  return (await accessibleNames(page)).filter((entry) => entry.name === '');
}

// Text whose colour has less contrast against the background behind it than
// WCAG AA asks for: 4.5:1, or 3:1 for large text (24px, or 18.66px bold).
// Backgrounds are found by walking up to the first opaque one, blending the
// translucent ones on the way.
export async function lowContrastText(page) {
  return page.evaluate(() => {
    const probe = document.createElement('canvas').getContext('2d', { willReadFrequently: true });
    // Any CSS colour (rgb(), color(srgb ...), color-mix results) to RGBA.
    function rgba(color) {
      probe.clearRect(0, 0, 1, 1);
      probe.fillStyle = '#000';
      probe.fillStyle = color;
      probe.fillRect(0, 0, 1, 1);
      const [r, g, b, a] = probe.getImageData(0, 0, 1, 1).data;
      return [r, g, b, a / 255];
    }
    function over(top, bottom) {
      const a = top[3];
      return [0, 1, 2].map((i) => top[i] * a + bottom[i] * (1 - a)).concat(1);
    }
    function luminance([r, g, b]) {
      const lin = (c) => {
        const s = c / 255;
        return s <= 0.03928 ? s / 12.92 : ((s + 0.055) / 1.055) ** 2.4;
      };
      return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b);
    }
    function ratio(a, b) {
      const [hi, lo] = [luminance(a), luminance(b)].sort((x, y) => y - x);
      return (hi + 0.05) / (lo + 0.05);
    }
    function background(element) {
      const layers = [];
      for (let e = element; e; e = e.parentElement) {
        const color = rgba(getComputedStyle(e).backgroundColor);
        if (color[3] > 0) layers.push(color);
        if (color[3] >= 1) break;
      }
      let result = rgba(getComputedStyle(document.documentElement).backgroundColor);
      if (result[3] < 1) result = [255, 255, 255, 1];
      for (let i = layers.length - 1; i >= 0; i -= 1) result = over(layers[i], result);
      return result;
    }
    const problems = [];
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    const seen = new Set();
    for (let text = walker.nextNode(); text; text = walker.nextNode()) {
      const element = text.parentElement;
      if (!text.textContent.trim() || !element || seen.has(element)) continue;
      seen.add(element);
      const style = getComputedStyle(element);
      const box = element.getBoundingClientRect();
      if (style.visibility === 'hidden' || box.width === 0 || box.height === 0) continue;
      if (element.closest('[aria-hidden="true"], .visually-hidden, :disabled, noscript')) continue;
      if (element.closest('.skip-link') && document.activeElement !== element.closest('.skip-link')) continue;
      const bg = background(element);
      const fg = over(rgba(style.color), bg);
      const size = parseFloat(style.fontSize);
      const large = size >= 24 || (size >= 18.66 && Number(style.fontWeight) >= 700);
      const needed = large ? 3 : 4.5;
      const found = ratio(fg, bg);
      if (found < needed) {
        problems.push(`${found.toFixed(2)}:1 < ${needed}:1 for "${text.textContent.trim().slice(0, 40)}" ` +
          `(${element.tagName.toLowerCase()}.${element.className}) ${style.color} on rgb(${bg.slice(0, 3)})`);
      }
    }
    return problems;
  });
}

// Presses Tab until the focus comes back round (at most limit times) and
// tells, for every stop, what it was and whether a focus indicator showed:
// an outline of at least 2px on the element, or on the card that holds it.
export async function tabStops(page, limit = 120) {
  await page.evaluate(() => {
    document.activeElement?.blur();
    window.scrollTo(0, 0);
  });
  const stops = [];
  for (let i = 0; i < limit; i += 1) {
    await page.keyboard.press('Tab');
    const stop = await page.evaluate(() => {
      const element = document.activeElement;
      if (!element || element === document.body) return null;
      const visible = (e) => {
        const style = getComputedStyle(e);
        return style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) >= 2;
      };
      const card = element.closest('.card');
      if (!element.dataset.tabStop) element.dataset.tabStop = String(Math.random());
      return {
        key: element.dataset.tabStop,
        tag: element.tagName.toLowerCase(),
        id: element.id,
        name: element.getAttribute('name') ?? '',
        text: (element.textContent ?? '').trim().slice(0, 40),
        indicator: visible(element) || (card !== null && visible(card)),
      };
    });
    if (!stop || (stops.length > 0 && stop.key === stops[0].key)) break;
    stops.push(stop);
  }
  return stops;
}

// The rendered form controls that are not folded away in a closed <details>:
// what the keyboard has to reach.
export async function reachableControls(page) {
  return page.evaluate((selector) => {
    const controls = [];
    for (const element of document.querySelectorAll(selector)) {
      const box = element.getBoundingClientRect();
      if (box.width === 0 && box.height === 0) continue;
      if (element.closest('details:not([open]) > :not(summary)')) continue;
      if (!element.dataset.tabStop) element.dataset.tabStop = String(Math.random());
      controls.push({ key: element.dataset.tabStop, tag: element.tagName.toLowerCase(), id: element.id,
        name: element.getAttribute('name') ?? '', text: (element.textContent ?? '').trim().slice(0, 40) });
    }
    return controls;
  }, CONTROLS);
}
